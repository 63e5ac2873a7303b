#include "tools/hostserver/sheet_painter.h"

#include "app/win32/win_handles.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tvx::hostserver {

namespace {

constexpr double kPi = 3.14159265358979323846;

// "none" gives nothing; anything this picture does not use gives black.
std::optional<COLORREF> colour(const std::string& name) {
    if (name == "none") {
        return std::nullopt;
    }
    if (name == "white") {
        return RGB(255, 255, 255);
    }
    const auto hex = [&](std::size_t at, std::size_t digits) {
        const int value = std::stoi(name.substr(at, digits), nullptr, 16);
        return static_cast<BYTE>(digits == 1 ? value * 17 : value);
    };
    try {
        if (name.size() == 4 && name[0] == '#') {
            return RGB(hex(1, 1), hex(2, 1), hex(3, 1));
        }
        if (name.size() == 7 && name[0] == '#') {
            return RGB(hex(1, 2), hex(3, 2), hex(5, 2));
        }
    } catch (const std::exception&) {
    }
    return RGB(0, 0, 0);
}

// From a group's own millimetres to the window's pixels: turned, moved, scaled.
class Transform {
public:
    Transform(const SheetPlacement& at, const sim::PictureGroup* group) : at_(at) {
        if (group != nullptr && group->origin) {
            origin_ = *group->origin;
        }
        if (group != nullptr && group->degrees) {
            degrees_ = *group->degrees;
        }
    }
    POINT operator()(const sim::PointMm& p) const {
        const double turn = degrees_ * kPi / 180.0;
        const double x = origin_.x + p.x * std::cos(turn) - p.y * std::sin(turn);
        const double y = origin_.y + p.x * std::sin(turn) + p.y * std::cos(turn);
        return {static_cast<LONG>(std::lround(at_.left + x * at_.scale)),
                static_cast<LONG>(std::lround(at_.top + y * at_.scale))};
    }
    int length(double mm) const { return static_cast<int>(std::lround(mm * at_.scale)); }
    double degrees() const { return degrees_; }

private:
    SheetPlacement at_;
    sim::PointMm origin_;
    double degrees_ = 0.0;
};

// The pen and brush of one item, selected for its drawing.
class Paint {
public:
    Paint(HDC dc, const sim::Paint& paint, const Transform& to) {
        const auto stroke = colour(paint.stroke);
        if (stroke) {
            LOGBRUSH brush{BS_SOLID, *stroke, 0};
            pen_.reset(ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_FLAT | PS_JOIN_ROUND,
                                    static_cast<DWORD>(std::max(1, to.length(paint.strokeWidth))), &brush, 0,
                                    nullptr));
        }
        if (const auto fill = colour(paint.fill)) {
            brush_.reset(CreateSolidBrush(*fill));
        }
        selectedPen_.emplace(dc, pen_ ? static_cast<HGDIOBJ>(pen_.get()) : GetStockObject(NULL_PEN));
        selectedBrush_.emplace(dc, brush_ ? static_cast<HGDIOBJ>(brush_.get()) : GetStockObject(NULL_BRUSH));
    }

private:
    win::UniquePen pen_;
    win::UniqueBrush brush_;
    std::optional<win::SelectedObject> selectedPen_;
    std::optional<win::SelectedObject> selectedBrush_;
};

struct ItemPainter {
    HDC dc;
    const Transform& to;
    int smallestName; // px

    void operator()(const sim::PictureRect& r) const {
        const Paint paint(dc, r.paint, to);
        const POINT corners[] = {to({r.x, r.y}), to({r.x + r.width, r.y}), to({r.x + r.width, r.y + r.height}),
                                 to({r.x, r.y + r.height})};
        if (r.corner > 0.0 && to.degrees() == 0.0) {
            const int round = 2 * to.length(r.corner);
            RoundRect(dc, corners[0].x, corners[0].y, corners[2].x, corners[2].y, round, round);
        } else {
            Polygon(dc, corners, 4);
        }
    }
    void operator()(const sim::PicturePath& p) const {
        const Paint paint(dc, p.paint, to);
        std::vector<POINT> points;
        for (const sim::PointMm& at : p.points) {
            points.push_back(to(at));
        }
        Polyline(dc, points.data(), static_cast<int>(points.size()));
    }
    void operator()(const sim::PictureLine& l) const {
        const Paint paint(dc, l.paint, to);
        const POINT points[] = {to(l.from), to(l.to)};
        Polyline(dc, points, 2);
    }
    void operator()(const sim::PictureCircle& c) const {
        const Paint paint(dc, c.paint, to);
        const POINT centre = to(c.centre);
        const int r = std::max(1, to.length(c.radius));
        Ellipse(dc, centre.x - r, centre.y - r, centre.x + r + 1, centre.y + r + 1);
    }
    void operator()(const sim::PictureText& t) const {
        // A name shrunk below a readable size is only a smudge beside its symbol.
        if (t.kind == sim::PictureText::Kind::Label && to.length(t.size) < smallestName) {
            return;
        }
        // Tenths of a degree, counter-clockwise: the picture turns clockwise.
        const int escapement = static_cast<int>(std::lround(-to.degrees() * 10.0));
        const win::UniqueFont font(CreateFontW(-std::max(1, to.length(t.size)), 0, escapement, escapement,
                                               t.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                               OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                                               DEFAULT_PITCH, t.family.c_str()));
        const win::SelectedObject selected(dc, font.get());
        SetTextColor(dc, colour(t.fill).value_or(RGB(0, 0, 0)));
        const POINT at = to(t.baselineStart);
        TextOutW(dc, at.x, at.y, t.text.c_str(), static_cast<int>(t.text.size()));
    }
};

} // namespace

SheetPlacement placeSheet(const RECT& area, double widthMm, double heightMm) {
    const double width = area.right - area.left;
    const double height = area.bottom - area.top;
    if (!(widthMm > 0.0 && heightMm > 0.0) || width <= 0.0 || height <= 0.0) {
        return {static_cast<double>(area.left), static_cast<double>(area.top), 0.0};
    }
    const double scale = std::min(width / widthMm, height / heightMm);
    return {area.left + (width - widthMm * scale) / 2.0, area.top + (height - heightMm * scale) / 2.0, scale};
}

void paintSheet(HDC dc, const RECT& area, const sim::SheetPicture& picture, int smallestName) {
    FillRect(dc, &area, GetSysColorBrush(COLOR_APPWORKSPACE));
    const SheetPlacement at = placeSheet(area, picture.width, picture.height);
    if (at.scale <= 0.0) {
        return;
    }
    SetBkMode(dc, TRANSPARENT);
    SetTextAlign(dc, TA_BASELINE | TA_LEFT | TA_NOUPDATECP);
    const HRGN clip = CreateRectRgnIndirect(&area);
    SelectClipRgn(dc, clip);
    DeleteObject(clip);
    const Transform sheet(at, nullptr);
    for (const sim::PictureItem& item : picture.paper) {
        std::visit(ItemPainter{dc, sheet, smallestName}, item);
    }
    for (const sim::PictureGroup& group : picture.groups) {
        const Transform to(at, &group);
        for (const sim::PictureItem& item : group.items) {
            std::visit(ItemPainter{dc, to, smallestName}, item);
        }
    }
    SelectClipRgn(dc, nullptr);
}

} // namespace tvx::hostserver
