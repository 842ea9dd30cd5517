#pragma once

// moc cannot parse the C++20 library headers these records bring in; it needs none of them.
#ifndef Q_MOC_RUN
#include "advisor-kit/AdvisorVocabulary.h"
#include "advisor-kit/UserRecommendationContext.h"
#endif

#include "ui/Palette.h"

#include <QAbstractButton>

// The questionnaire's choices: flat buttons whose whole surface is clickable, filled with the accent
// colour when selected. Pressing one only reports the press; the questionnaire keeps the answer.
class ChoiceButton : public QAbstractButton
{
    Q_OBJECT
public:
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);

protected:
    explicit ChoiceButton(QWidget* parent);
    // The background, and the pen colours for what the subclass draws on it.
    void paintBackground(QPainter& painter) const;
    QColor foreground() const;
    QColor accentOrForeground() const;
    QColor secondary() const;

    Palette m_palette;

private:
    bool m_selected = false;
};

class UseCaseCard : public ChoiceButton
{
    Q_OBJECT
public:
    explicit UseCaseCard(UseCase useCase, QWidget* parent = nullptr);
    UseCase useCase() const { return m_useCase; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    UseCase m_useCase;
};

class SpeedPreferenceRow : public ChoiceButton
{
    Q_OBJECT
public:
    explicit SpeedPreferenceRow(UserRecommendationContext::SpeedPreference preference, QWidget* parent = nullptr);
    UserRecommendationContext::SpeedPreference preference() const { return m_preference; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    UserRecommendationContext::SpeedPreference m_preference;
};

class ContextLengthRow : public ChoiceButton
{
    Q_OBJECT
public:
    explicit ContextLengthRow(UserRecommendationContext::ContextLength length, QWidget* parent = nullptr);
    UserRecommendationContext::ContextLength length() const { return m_length; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    UserRecommendationContext::ContextLength m_length;
};

class ToggleCard : public ChoiceButton
{
    Q_OBJECT
public:
    ToggleCard(const QString& label, const QString& icon, QWidget* parent = nullptr);
    QString label() const { return m_label; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_label;
    QString m_icon;
};
