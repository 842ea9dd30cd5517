#include "ui/SymbolIcon.h"

#include <QDirIterator>
#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

namespace {

const QString kSourceRoot = QStringLiteral(QV_TEST_DATA_DIR "/../..");

// Symbol names the views name: every dotted lower-case literal, and every lower-case word literal on a
// line that speaks of a symbol or icon.
QSet<QString> symbolNamesInSources()
{
    static const QRegularExpression literal(QStringLiteral("\"([a-z][a-z0-9]*(?:\\.[a-z0-9]+)*)\""));
    static const QRegularExpression mentions(QStringLiteral("symbol|icon"), QRegularExpression::CaseInsensitiveOption);
    QSet<QString> names;
    for (const char* folder : {"shared/ui", "shared/views", "app/popover", "app/settings"}) {
        QDirIterator it(kSourceRoot + QLatin1Char('/') + QLatin1String(folder), {"*.cpp", "*.h"}, QDir::Files,
            QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            if (!file.open(QIODevice::ReadOnly) || file.fileName().endsWith(QLatin1String("SymbolIcon.cpp")))
                continue;
            for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
                auto matches = literal.globalMatch(line);
                while (matches.hasNext()) {
                    const QString name = matches.next().captured(1);
                    if (name.contains(QLatin1Char('.')) || mentions.match(line).hasMatch())
                        names.insert(name);
                }
            }
        }
    }
    return names;
}

QImage drawn(const QString& name)
{
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    SymbolIcon::paint(p, QRectF(0, 0, 32, 32), name, Qt::black, 28);
    return image;
}

int inkedPixels(const QImage& image)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += qAlpha(image.pixel(x, y)) > 0;
    return n;
}

} // namespace

TEST(SymbolIconTest, EveryNameTheSourcesUseIsInTheTable)
{
    const QSet<QString> used = symbolNamesInSources();
    ASSERT_TRUE(used.contains("flame.fill")); // the scan reaches the label's sources
    ASSERT_TRUE(used.contains("snowflake"));
    for (const QString& name : used)
        EXPECT_TRUE(SymbolIcon::codepoint(name).has_value()) << name.toStdString();
}

TEST(SymbolIconTest, TableIsCompleteAndEveryGlyphIsInTheFont)
{
    ASSERT_FALSE(SymbolIcon::fontFamily().isEmpty()) << "Material Icons font not found";
    const auto& table = SymbolIcon::table();
    // Lookups bisect the table: it must be sorted with one row per name.
    for (size_t i = 1; i < table.size(); ++i)
        EXPECT_LT(qstrcmp(table[i - 1].name, table[i].name), 0) << table[i].name;

    QFont font(SymbolIcon::fontFamily());
    const QFontMetrics metrics(font);
    for (const auto& e : table)
        EXPECT_TRUE(metrics.inFontUcs4(e.codepoint)) << e.name << " -> " << e.material;

    // Where the font's package ships its glyph list, every code point is the one it gives that glyph.
    QFile list(QStringLiteral("/usr/share/fonts-material-design-icons-iconfont/scss/_variables.scss"));
    if (!list.open(QIODevice::ReadOnly))
        GTEST_SKIP() << "no glyph list to compare with";
    const QString text = QString::fromUtf8(list.readAll());
    for (const auto& e : table) {
        const QRegularExpression row(QStringLiteral("\"%1\": ([0-9a-f]+)").arg(QLatin1String(e.material)));
        const auto m = row.match(text);
        ASSERT_TRUE(m.hasMatch()) << e.material;
        EXPECT_EQ(m.captured(1).toUInt(nullptr, 16), e.codepoint) << e.name;
    }
}

TEST(SymbolIconTest, UnknownNameDrawsASmallNeutralDotAndKnownNamesTheirGlyph)
{
    EXPECT_FALSE(SymbolIcon::codepoint("no.such.symbol").has_value());
    const int dot = inkedPixels(drawn("no.such.symbol"));
    const int flame = inkedPixels(drawn("flame.fill"));
    EXPECT_GT(dot, 0);
    EXPECT_GT(flame, dot);
    EXPECT_NE(drawn("flame.fill"), drawn("snowflake"));

    const QPixmap tinted = SymbolIcon::pixmap("leaf.fill", 24, Qt::green, 2.0);
    EXPECT_EQ(tinted.deviceIndependentSize(), QSizeF(24, 24));
    EXPECT_EQ(tinted.size(), QSize(48, 48));
}
