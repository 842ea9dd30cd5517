#include "OnboardingSteps.h"

#include "PrivacyStyle.h"

#include "ui/Contrast.h"
#include "ui/Fonts.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>

namespace {

ThemedLabel* centred(const QString& text, const QFont& font, ColorRole role)
{
    auto* label = new ThemedLabel(text, font, role);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    return label;
}

class LogoImage : public QWidget
{
public:
    explicit LogoImage(const QString& path)
        : m_image(path)
    {
        setFixedSize(64, 64);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        QPainterPath clip;
        clip.addRoundedRect(QRectF(rect()), 12, 12);
        painter.setClipPath(clip);
        const QSize scaled = m_image.size().scaled(size(), Qt::KeepAspectRatio);
        painter.drawImage(
            QRect(QPoint((width() - scaled.width()) / 2, (height() - scaled.height()) / 2), scaled), m_image);
    }

private:
    QImage m_image;
};

} // namespace

PillButton* onboardingButton(const QString& title, bool green, int horizontalPadding)
{
    auto* button = privacyButton(title, QString(), Fonts::system(13, QFont::Bold));
    const ThemeColor fill = roleColor(green ? ColorRole::green : ColorRole::blue);
    // The text colour, unless the fill is too bright for it (white on green).
    button->setColors(
        [fill](const Palette& p) { return Contrast::readableOn(fill(p), roleColor(ColorRole::text)(p)); }, fill);
    button->setPadding(horizontalPadding, 8);
    return button;
}

QString WelcomeStepView::logoPath()
{
    // The program's own folder first, then the installed shared data.
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/logo.png");
    if (QFileInfo::exists(beside))
        return beside;
    const QString shared = QCoreApplication::applicationDirPath() + QStringLiteral("/../share/quorvane-pro/logo.png");
    return QFileInfo::exists(shared) ? QFileInfo(shared).canonicalFilePath() : QString();
}

WelcomeStepView::WelcomeStepView(std::function<void()> next, QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 24, 0, 24);
    layout->setSpacing(24);
    auto* header = new QVBoxLayout;
    header->setSpacing(12);
    const QString logo = logoPath();
    if (logo.isEmpty())
        header->addWidget(new SymbolLabel(QStringLiteral("shield.fill"), ColorRole::blue, 48), 0, Qt::AlignHCenter);
    else
        header->addWidget(new LogoImage(logo), 0, Qt::AlignHCenter);
    header->addWidget(centred(QStringLiteral("Quorvane"), Fonts::system(28, QFont::Bold), ColorRole::text));
    layout->addLayout(header);
    auto* blurb = centred(tr("Quorvane watches your AI workloads and development tools so you don't have to."),
        Fonts::system(14), ColorRole::secondary);
    blurb->setContentsMargins(24, 0, 24, 0);
    layout->addWidget(blurb);
    layout->addStretch();
    auto* start = onboardingButton(tr("Get Started →"), false, 20);
    connect(start, &QAbstractButton::clicked, this, [next] { next(); });
    layout->addWidget(start, 0, Qt::AlignHCenter);
}

ChoiceList::ChoiceList(
    const std::vector<Choice>& choices, int selected, int spacing, std::function<void(int)> choose, QWidget* parent)
    : QWidget(parent)
    , m_choose(std::move(choose))
    , m_selected(selected)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 0, 4, 0);
    layout->setSpacing(spacing);
    for (int i = 0; i < int(choices.size()); ++i) {
        const Choice& choice = choices[std::size_t(i)];
        const bool twoLines = !choice.description.isEmpty();
        auto* row = new RoundedBox(Qt::Horizontal, 0, 8, 8);
        row->box()->setContentsMargins(12, 8, 12, 8);
        auto* icon = new QLabel(choice.icon);
        icon->setFont(Fonts::emoji(twoLines ? 20 : 16));
        icon->setContentsMargins(0, twoLines ? 2 : 0, 0, 0);
        row->box()->addWidget(icon, 0, twoLines ? Qt::AlignTop : Qt::AlignVCenter);
        if (twoLines) {
            auto* texts = new QVBoxLayout;
            texts->setSpacing(3);
            texts->addWidget(new ThemedLabel(choice.title, Fonts::system(12, QFont::Bold), ColorRole::text));
            auto* description = new ThemedLabel(choice.description, Fonts::system(10), ColorRole::secondary);
            description->setWordWrap(true);
            texts->addWidget(description);
            row->box()->addLayout(texts, 1);
        } else {
            row->box()->addWidget(new ThemedLabel(choice.title, Fonts::system(13, QFont::Medium), ColorRole::text), 1);
        }
        auto* mark = new SymbolLabel(QStringLiteral("checkmark.circle.fill"), ColorRole::blue, 16);
        row->box()->addWidget(mark, 0, twoLines ? Qt::AlignTop : Qt::AlignVCenter);
        // The whole row is the button, by mouse and by keyboard.
        row->setProperty("choice", i);
        row->setFocusPolicy(Qt::StrongFocus);
        row->setCursor(Qt::PointingHandCursor);
        row->setAccessibleName(choice.title);
        row->installEventFilter(this);
        layout->addWidget(row);
        m_rows.push_back(row);
        m_marks.push_back(mark);
    }
    setSelected(selected);
}

void ChoiceList::setSelected(int index)
{
    m_selected = index;
    for (int i = 0; i < int(m_rows.size()); ++i) {
        const bool on = i == index;
        m_rows[std::size_t(i)]->setFill(on ? ColorRole::blue : ColorRole::grey, on ? 0.12 : 0.08);
        // Keeps the row's height whether or not it is marked.
        QSizePolicy policy = m_marks[std::size_t(i)]->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        m_marks[std::size_t(i)]->setSizePolicy(policy);
        m_marks[std::size_t(i)]->setVisible(on);
    }
}

bool ChoiceList::eventFilter(QObject* watched, QEvent* event)
{
    const QVariant index = watched->property("choice");
    if (index.isValid()) {
        const bool click = event->type() == QEvent::MouseButtonRelease
            && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
        const bool key = event->type() == QEvent::KeyPress
            && (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space
                || static_cast<QKeyEvent*>(event)->key() == Qt::Key_Return);
        if (click || key) {
            press(index.toInt());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ChoiceList::press(int index)
{
    setSelected(index);
    m_choose(index);
}

WorkspaceStepView::WorkspaceStepView(
    Persona selected, std::function<void(Persona)> select, std::function<void()> next, QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 12, 0, 12);
    layout->setSpacing(16);
    layout->addWidget(centred(tr("Workspace Persona"), Fonts::system(18, QFont::Bold), ColorRole::text));
    layout->addWidget(centred(tr("What best describes your work?"), Fonts::system(12), ColorRole::secondary));
    const std::vector<ChoiceList::Choice> choices {
        {QStringLiteral("🤖"), tr("AI Engineer"), {}},
        {QStringLiteral("💻"), tr("Software Engineer"), {}},
        {QStringLiteral("🔬"), tr("ML Researcher"), {}},
        {QStringLiteral("🎓"), tr("Student / Hobbyist"), {}},
    };
    m_list = new ChoiceList(
        choices, static_cast<int>(selected), 8, [select](int index) { select(static_cast<Persona>(index)); });
    auto* scroll = new QScrollArea;
    scroll->setWidget(m_list);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setMaximumHeight(220);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll->setStyleSheet(QStringLiteral(
        "QScrollArea { background: transparent; } QScrollArea > QWidget > QWidget { background: transparent; }"));
    layout->addWidget(scroll);
    layout->addStretch();
    auto* forward = onboardingButton(tr("Continue"), false, 24);
    connect(forward, &QAbstractButton::clicked, this, [next] { next(); });
    layout->addWidget(forward, 0, Qt::AlignHCenter);
}

StyleStepView::StyleStepView(
    Flavor selected, std::function<void(Flavor)> select, std::function<void()> next, bool canPause, QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 12, 0, 12);
    layout->setSpacing(16);
    layout->addWidget(centred(tr("Choose Conflict Style"), Fonts::system(18, QFont::Bold), ColorRole::text));
    layout->addWidget(
        centred(tr("How should Quorvane handle resource conflicts?"), Fonts::system(12), ColorRole::secondary));
    // The styles describe what the personas do with the helper; the next page cannot set it up here.
    if (!canPause) {
        m_note = centred(tr("Without the helper, which this copy cannot set up, no style freezes anything."),
            Fonts::system(11, QFont::DemiBold), ColorRole::orange);
        m_note->setContentsMargins(16, 0, 16, 0);
        layout->addWidget(m_note);
    }
    const std::vector<ChoiceList::Choice> choices {
        {QStringLiteral("🦁"), tr("Lion (Aggressive)"),
            tr("Act fast, freeze background processes automatically without prompting.")},
        {QStringLiteral("🐻"), tr("Bear (Balanced)"),
            tr("Smart automation. Resolves conflicts silently and details actions in activity log.")},
        {QStringLiteral("🦊"), tr("Fox (Cautious)"),
            tr("Suggestion only. Never freezes background apps without user confirmation.")},
    };
    m_list = new ChoiceList(
        choices, static_cast<int>(selected), 10, [select](int index) { select(static_cast<Flavor>(index)); });
    layout->addWidget(m_list);
    layout->addStretch();
    auto* forward = onboardingButton(tr("Continue"), false, 24);
    connect(forward, &QAbstractButton::clicked, this, [next] { next(); });
    layout->addWidget(forward, 0, Qt::AlignHCenter);
}

QString StyleStepView::note() const
{
    return m_note ? m_note->text() : QString();
}

ReadyStepView::ReadyStepView(std::function<void()> onDone, bool canPause, QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 24, 0, 24);
    layout->setSpacing(24);
    layout->addWidget(centred(tr("✨ Quorvane is Ready"), Fonts::system(20, QFont::Bold), ColorRole::text));
    auto* shield = new SymbolLabel(QStringLiteral("checkmark.shield.fill"), ColorRole::green, 64);
    shield->setContentsMargins(0, 8, 0, 8);
    layout->addWidget(shield, 0, Qt::AlignHCenter);
    auto* summary
        = centred(canPause ? tr("Quorvane is watching in the background. We will automatically coordinate "
                                "resource allocations to protect your workspace.")
                           : tr("Quorvane is watching in the background and shows what your machine is doing. "
                                "It cannot pause background processes without its helper, so personas will "
                                "pause nothing."),
            Fonts::system(12), ColorRole::secondary);
    summary->setContentsMargins(24, 0, 24, 0);
    layout->addWidget(summary);
    layout->addStretch();
    auto* finish = onboardingButton(tr("Finish Setup"), true, 24);
    connect(finish, &QAbstractButton::clicked, this, [onDone] { onDone(); });
    layout->addWidget(finish, 0, Qt::AlignHCenter);
}
