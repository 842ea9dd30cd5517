#include "ModelsTabCompanions.h"

#include "AdvisorStyle.h"
#include "AdvisorTexts.h"

#include "ui/Spinner.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>

using AdvisorStyle::TextStyle;

namespace {

QString prominentStyle(const Palette& palette)
{
    return QStringLiteral("QPushButton { background: %1; color: %2; border: none; border-radius: 6px;"
                          " padding: 5px 14px; }")
        .arg(palette.accent.name(), palette.onTint(palette.accent).name());
}

} // namespace

MacContextHeader::MacContextHeader(const MacCapabilityProfile& profile, bool appleSilicon, QWidget* parent)
    : RoundedFill(withOpacity(Palette::current().secondaryText, 0.06), 10, parent)
{
    const Palette palette = Palette::current();
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(14, 14, 14, 14);
    row->setSpacing(12);
    row->addWidget(AdvisorStyle::symbolLabel(QStringLiteral("laptopcomputer"), 22, palette.accent));
    auto* column = new QVBoxLayout;
    column->setSpacing(2);
    m_chip = AdvisorStyle::label(AdvisorTexts::chipName(profile, appleSilicon), TextStyle::headline, palette.text);
    m_detail = AdvisorStyle::label(
        AdvisorTexts::contextHeaderLine(profile, appleSilicon), TextStyle::subheadline, palette.secondaryText);
    column->addWidget(m_chip);
    column->addWidget(m_detail);
    row->addLayout(column, 1);
}

QString MacContextHeader::chipText() const
{
    return m_chip->text();
}

QString MacContextHeader::detailText() const
{
    return m_detail->text();
}

QuestionnairePromptCard::QuestionnairePromptCard(std::function<void()> action, QWidget* parent)
    : RoundedFill(withOpacity(Palette::current().secondaryText, 0.06), 10, parent)
{
    const Palette palette = Palette::current();
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(16);
    column->addWidget(AdvisorStyle::symbolLabel(QStringLiteral("doc.text.magnifyingglass"), 30, palette.accent));
    auto* title = AdvisorStyle::label(tr("Find Your Perfect Local Model"), TextStyle::headline, palette.text);
    title->setAlignment(Qt::AlignCenter);
    column->addWidget(title);
    auto* text = AdvisorStyle::wrappedLabel(
        tr("Answer 4 quick questions about your workflow to see which local models fit best on your computer."),
        TextStyle::subheadline, palette.secondaryText);
    text->setAlignment(Qt::AlignCenter);
    column->addWidget(text);
    m_button = new QPushButton(tr("Start Model Questionnaire"));
    m_button->setFont(AdvisorStyle::font(TextStyle::body, QFont::Medium));
    m_button->setStyleSheet(prominentStyle(palette));
    connect(m_button, &QPushButton::clicked, this, [action = std::move(action)] {
        if (action)
            action();
    });
    column->addWidget(m_button, 0, Qt::AlignHCenter);
}

NoModelFitsCard::NoModelFitsCard(const QString& title, const QString& detail, QWidget* parent)
    : RoundedFill(withOpacity(Palette::current().orange, 0.08), 10, parent)
{
    const Palette palette = Palette::current();
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(14, 14, 14, 14);
    row->setSpacing(12);
    row->addWidget(AdvisorStyle::symbolLabel(QStringLiteral("exclamationmark.triangle.fill"), 18, palette.orange), 0,
        Qt::AlignTop);
    auto* column = new QVBoxLayout;
    column->setSpacing(4);
    m_title = AdvisorStyle::wrappedLabel(title, TextStyle::headline, palette.text);
    m_detail = AdvisorStyle::wrappedLabel(detail, TextStyle::subheadline, palette.secondaryText);
    column->addWidget(m_title);
    column->addWidget(m_detail);
    row->addLayout(column, 1);
    setAccessibleName(title);
}

QString NoModelFitsCard::titleText() const
{
    return m_title->text();
}

QString NoModelFitsCard::detailText() const
{
    return m_detail->text();
}

LoadingView::LoadingView(const QString& message, QWidget* parent)
    : QWidget(parent)
    , m_message(message)
{
    const Palette palette = Palette::current();
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(40, 40, 40, 40);
    column->setSpacing(12);
    auto* spinner = new Spinner(20);
    spinner->setColor(palette.secondaryText);
    column->addWidget(spinner, 0, Qt::AlignHCenter);
    auto* text = AdvisorStyle::label(message, TextStyle::caption, palette.secondaryText);
    text->setAlignment(Qt::AlignCenter);
    column->addWidget(text);
    setAccessibleName(message);
}

ContextReminderView::ContextReminderView(
    const UserRecommendationContext& context, std::function<void()> action, QWidget* parent)
    : RoundedFill(withOpacity(Palette::current().accent, 0.06), 8, parent)
    , m_answers(rawText(context.primaryUseCase) + QStringLiteral(" \u00b7 ") + rawText(context.speedPreference))
{
    const Palette palette = Palette::current();
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 8, 12, 8);
    auto* column = new QVBoxLayout;
    column->setSpacing(2);
    column->addWidget(AdvisorStyle::label(tr("Recommendations for:"), TextStyle::caption2, palette.secondaryText));
    column->addWidget(AdvisorStyle::label(m_answers, TextStyle::caption, palette.text, QFont::Medium));
    row->addLayout(column, 1);
    m_button = new QPushButton(tr("Change"));
    m_button->setFont(AdvisorStyle::font(TextStyle::caption));
    m_button->setStyleSheet(AdvisorStyle::borderedButtonStyle(palette));
    connect(m_button, &QPushButton::clicked, this, [action = std::move(action)] {
        if (action)
            action();
    });
    row->addWidget(m_button);
}

InstalledModelRow::InstalledModelRow(const ModelRecommendation& recommendation, QWidget* parent)
    : RoundedFill(withOpacity(Palette::current().secondaryText, 0.06), 8, parent)
{
    const Palette palette = Palette::current();
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 12, 12, 12);
    row->addWidget(AdvisorStyle::symbolLabel(QStringLiteral("checkmark.circle.fill"), 14, palette.green));
    row->addWidget(
        AdvisorStyle::label(QString::fromStdString(recommendation.model.displayName), TextStyle::body, palette.text));
    row->addStretch(1);
    row->addWidget(AdvisorStyle::label(tr("Already Installed"), TextStyle::caption, palette.secondaryText));
}

NotRecommendedSection::NotRecommendedSection(
    const std::vector<ModelProfile>& models, const std::optional<UserRecommendationContext>& context, QWidget* parent)
    : QWidget(parent)
{
    const Palette palette = Palette::current();
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    column->addWidget(AdvisorStyle::label(tr("Not Recommended").toUpper(), TextStyle::caption, palette.secondaryText));
    const std::size_t shown = std::min<std::size_t>(models.size(), kShown);
    for (std::size_t i = 0; i < shown; ++i) {
        const auto reason = AdvisorTexts::notRecommendedReason(models[i], context);
        const QString name = QString::fromStdString(models[i].displayName);
        const QString reasonText = AdvisorTexts::reasonText(reason);
        m_rows.append({name, reasonText});
        auto* panel = new RoundedFill(withOpacity(palette.secondaryText, 0.03), 8);
        auto* row = new QHBoxLayout(panel);
        row->setContentsMargins(10, 10, 10, 10);
        row->addWidget(AdvisorStyle::label(name, TextStyle::body, palette.secondaryText));
        row->addStretch(1);
        row->addWidget(AdvisorStyle::label(reasonText, TextStyle::caption,
            reason == AdvisorTexts::NotRecommendedReason::tooLarge ? palette.red : palette.secondaryText));
        column->addWidget(panel);
    }
}
