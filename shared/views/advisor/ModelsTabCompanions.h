#pragma once

// moc cannot parse the C++20 library headers these records bring in; it needs none of them.
#ifndef Q_MOC_RUN
#include "advisor-kit/MacCapabilityProfile.h"
#include "advisor-kit/ModelProfile.h"
#include "advisor-kit/ModelRecommendation.h"
#include "advisor-kit/UserRecommendationContext.h"
#endif

#include "ui/RoundedFill.h"

#include <QList>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class QLabel;
class QPushButton;

// The pieces of the "Models" tab around the recommendation cards.

// Chip, memory and expected speed of this machine in one tinted row.
class MacContextHeader : public RoundedFill
{
    Q_OBJECT
public:
    MacContextHeader(const MacCapabilityProfile& profile, bool appleSilicon, QWidget* parent = nullptr);
    QString chipText() const;
    QString detailText() const;

private:
    QLabel* m_chip = nullptr;
    QLabel* m_detail = nullptr;
};

// The invitation to answer the questionnaire, shown while there are no results.
class QuestionnairePromptCard : public RoundedFill
{
    Q_OBJECT
public:
    explicit QuestionnairePromptCard(std::function<void()> action, QWidget* parent = nullptr);
    QPushButton* button() const { return m_button; }

private:
    QPushButton* m_button = nullptr;
};

// What a run that found no model says instead of the cards: that nothing fits, and what would.
class NoModelFitsCard : public RoundedFill
{
    Q_OBJECT
public:
    NoModelFitsCard(const QString& title, const QString& detail, QWidget* parent = nullptr);
    QString titleText() const;
    QString detailText() const;

private:
    QLabel* m_title = nullptr;
    QLabel* m_detail = nullptr;
};

// A turning indicator over a short message.
class LoadingView : public QWidget
{
    Q_OBJECT
public:
    explicit LoadingView(const QString& message, QWidget* parent = nullptr);
    QString message() const { return m_message; }

private:
    QString m_message;
};

// The two answers behind the results shown, with a button to answer again.
class ContextReminderView : public RoundedFill
{
    Q_OBJECT
public:
    ContextReminderView(
        const UserRecommendationContext& context, std::function<void()> action, QWidget* parent = nullptr);
    QString answersText() const { return m_answers; }
    QPushButton* changeButton() const { return m_button; }

private:
    QString m_answers;
    QPushButton* m_button = nullptr;
};

// A recommended model the local server already holds.
class InstalledModelRow : public RoundedFill
{
    Q_OBJECT
public:
    explicit InstalledModelRow(const ModelRecommendation& recommendation, QWidget* parent = nullptr);
};

// Up to three catalogue models that were not recommended, each with its one-word reason.
class NotRecommendedSection : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kShown = 3;

    NotRecommendedSection(const std::vector<ModelProfile>& models,
        const std::optional<UserRecommendationContext>& context, QWidget* parent = nullptr);
    // The rows as shown: the model's name and its reason.
    QList<QPair<QString, QString>> rows() const { return m_rows; }

private:
    QList<QPair<QString, QString>> m_rows;
};
