#include "SymbolIcon.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

namespace SymbolIcon {

namespace {

const char* const kFontFile = "/usr/share/fonts/truetype/material-design-icons-iconfont/MaterialIcons-Regular.ttf";

std::vector<Entry> makeTable()
{
    std::vector<Entry> rows {
        {"app.fill", "apps", 0xe5c3},
        {"apple.logo", "computer", 0xe30a},
        {"arrow.clockwise", "refresh", 0xe5d5},
        {"arrow.down", "arrow_downward", 0xe5db},
        {"arrow.right", "arrow_forward", 0xe5c8},
        {"arrow.up.circle.fill", "arrow_circle_up", 0xf182},
        {"arrow.up.right", "north_east", 0xf1e1},
        {"bell.badge.fill", "notifications_active", 0xe7f7},
        {"bell.fill", "notifications", 0xe7f4},
        {"bolt.fill", "bolt", 0xea0b},
        {"bolt.horizontal.fill", "electric_bolt", 0xec1c},
        {"bolt.shield.fill", "security", 0xe32a},
        {"book.fill", "menu_book", 0xea19},
        {"book.pages.fill", "auto_stories", 0xe666},
        {"brain", "psychology", 0xea4a},
        {"brain.fill", "psychology", 0xea4a},
        {"brain.head.profile", "psychology", 0xea4a},
        {"brain.headset", "support_agent", 0xf0e2},
        {"bubble.left", "chat_bubble_outline", 0xe0cb},
        {"chart.bar", "bar_chart", 0xe26b},
        {"chart.xyaxis.line", "show_chart", 0xe6e1},
        {"checkmark", "check", 0xe5ca},
        {"checkmark.circle.fill", "check_circle", 0xe86c},
        {"checkmark.seal", "verified", 0xef76},
        {"checkmark.seal.fill", "verified", 0xef76},
        {"checkmark.shield.fill", "verified_user", 0xe8e8},
        {"checkmark.square.fill", "check_box", 0xe834},
        {"chevron.down", "expand_more", 0xe5cf},
        {"chevron.left.forwardslash.chevron.right", "code", 0xe86f},
        {"chevron.up", "expand_less", 0xe5ce},
        {"circle.fill", "circle", 0xef4a},
        {"clock.badge.checkmark", "alarm_on", 0xe858},
        {"clock.fill", "schedule", 0xe8b5},
        {"cpu", "memory", 0xe322},
        {"cube.fill", "view_in_ar", 0xe9fe},
        {"desktopcomputer", "desktop_windows", 0xe30c},
        {"doc.on.doc", "content_copy", 0xe14d},
        {"doc.plaintext", "description", 0xe873},
        {"doc.text", "article", 0xef42},
        {"doc.text.magnifyingglass", "find_in_page", 0xe880},
        {"exclamationmark", "priority_high", 0xe645},
        {"exclamationmark.triangle.fill", "warning", 0xe002},
        {"eyes", "visibility", 0xe8f4},
        {"fanblades.fill", "cyclone", 0xebd5},
        {"flame.fill", "local_fire_department", 0xef55},
        {"folder.fill", "folder", 0xe2c7},
        {"gear.badge.questionmark", "settings_suggest", 0xf05e},
        {"gearshape", "settings", 0xe8b8},
        {"gearshape.fill", "settings", 0xe8b8},
        {"globe", "public", 0xe80b},
        {"hammer", "build", 0xe869},
        {"hammer.fill", "build", 0xe869},
        {"hand.raised.fill", "back_hand", 0xe764},
        {"hand.raised.slash.fill", "do_not_touch", 0xf1b0},
        {"house.fill", "home", 0xe88a},
        {"info.circle", "info_outline", 0xe88f},
        {"info.circle.fill", "info", 0xe88e},
        {"internaldrive", "storage", 0xe1db},
        {"internaldrive.fill", "storage", 0xe1db},
        {"laptopcomputer", "laptop", 0xe31e},
        {"leaf", "eco", 0xea35},
        {"leaf.fill", "eco", 0xea35},
        {"lightbulb.fill", "lightbulb", 0xe0f0},
        {"line.3.crossed.swirl.circle", "blur_circular", 0xe3a2},
        {"link", "link", 0xe157},
        {"list.bullet.rectangle", "list_alt", 0xe0ee},
        {"lock.fill", "lock", 0xe897},
        {"lock.laptopcomputer", "lock_person", 0xf8f3},
        {"lock.shield", "shield", 0xe9e0},
        {"lock.shield.fill", "gpp_good", 0xf013},
        {"macbook", "laptop", 0xe31e},
        {"magnifyingglass", "search", 0xe8b6},
        {"memorychip", "developer_board", 0xe30d},
        {"minus", "remove", 0xe15b},
        {"network", "lan", 0xeb2f},
        {"nosign", "block", 0xe14b},
        {"paintpalette.fill", "palette", 0xe40a},
        {"pencil", "edit", 0xe3c9},
        {"person.2.fill", "people", 0xe7fb},
        {"play.fill", "play_arrow", 0xe037},
        {"power", "power_settings_new", 0xe8ac},
        {"safari.fill", "explore", 0xe87a},
        {"server.rack", "dns", 0xe875},
        {"shield.checkmark.fill", "verified_user", 0xe8e8},
        {"shield.fill", "shield", 0xe9e0},
        {"shippingbox.fill", "inventory_2", 0xe1a1},
        {"slider.horizontal.3", "tune", 0xe429},
        {"snowflake", "ac_unit", 0xeb3b},
        {"sparkles", "auto_awesome", 0xe65f},
        {"speedometer", "speed", 0xe9e4},
        {"square", "check_box_outline_blank", 0xe835},
        {"square.and.arrow.up", "ios_share", 0xe6b8},
        {"star.circle.fill", "stars", 0xe8d0},
        {"star.fill", "star", 0xe838},
        {"swift", "code", 0xe86f},
        {"tablecells", "table_chart", 0xe265},
        {"terminal", "terminal", 0xeb8e},
        {"text.cursor", "text_fields", 0xe262},
        {"thermometer.medium", "thermostat", 0xf076},
        {"trash", "delete_outline", 0xe92e},
        {"trash.fill", "delete", 0xe872},
        {"xmark", "close", 0xe5cd},
        {"xmark.circle", "highlight_off", 0xe888},
        {"xmark.circle.fill", "cancel", 0xe5c9},
    };
    std::sort(rows.begin(), rows.end(), [](const Entry& a, const Entry& b) { return qstrcmp(a.name, b.name) < 0; });
    return rows;
}

QString loadFamily()
{
    const QString installed = QStringLiteral("Material Icons");
    if (QFontDatabase::families().contains(installed))
        return installed;
    const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(kFontFile));
    const QStringList families = id < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id);
    return families.value(0);
}

void paintDot(QPainter& painter, const QRectF& rect, const QColor& color, double pixelSize)
{
    const double d = std::min({pixelSize, rect.width(), rect.height()}) * 0.4;
    painter.setPen(Qt::NoPen);
    QColor neutral = color;
    neutral.setAlphaF(neutral.alphaF() * 0.5f);
    painter.setBrush(neutral);
    painter.drawEllipse(rect.center(), d / 2, d / 2);
}

} // namespace

const std::vector<Entry>& table()
{
    static const std::vector<Entry> rows = makeTable();
    return rows;
}

std::optional<char32_t> codepoint(const QString& name)
{
    const QByteArray key = name.toLatin1();
    const auto& rows = table();
    const auto it = std::lower_bound(rows.begin(), rows.end(), key,
        [](const Entry& e, const QByteArray& k) { return qstrcmp(e.name, k.constData()) < 0; });
    if (it == rows.end() || key != it->name)
        return std::nullopt;
    return it->codepoint;
}

QStringList names()
{
    QStringList out;
    for (const Entry& e : table())
        out << QString::fromLatin1(e.name);
    return out;
}

QString fontFamily()
{
    static const QString family = loadFamily();
    return family;
}

void paint(QPainter& painter, const QRectF& rect, const QString& name, const QColor& color, double pixelSize)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const auto glyph = codepoint(name);
    const QString family = fontFamily();
    if (!glyph || family.isEmpty() || pixelSize < 1) {
        paintDot(painter, rect, color, pixelSize);
        painter.restore();
        return;
    }
    QFont font(family);
    font.setPixelSize(std::max(1, qRound(pixelSize)));
    painter.setFont(font);
    painter.setPen(color);
    const char32_t ucs4[] = {*glyph};
    painter.drawText(rect, Qt::AlignCenter, QString::fromUcs4(ucs4, 1));
    painter.restore();
}

QPixmap pixmap(const QString& name, int size, const QColor& color, qreal devicePixelRatio)
{
    const int device = std::max(1, qRound(size * devicePixelRatio));
    QPixmap pm(device, device);
    pm.setDevicePixelRatio(devicePixelRatio);
    pm.fill(Qt::transparent);
    QPainter painter(&pm);
    paint(painter, QRectF(0, 0, size, size), name, color, size);
    return pm;
}

} // namespace SymbolIcon
