#include "ui/main/MainLayout.h"

#include <cmath>

namespace MainLayout {

namespace {

enum class Role { Caption, Heading, TextBox, MessageBox, Button };

Role roleOf(int item)
{
    if (item >= Label3_0 && item < Label3_0 + 3)
        return Role::Heading;
    if (item >= TIT_0 && item < TIT_0 + 6)
        return Role::TextBox;
    if (item == Label4)
        return Role::MessageBox;
    if (item >= Command1_0 && item < Command1_0 + 8)
        return Role::Button;
    return Role::Caption;
}

// The widths that follow the window horizontally (headings only when both directions grow).
bool scalesWidth(Role role, bool headings)
{
    return role == Role::TextBox || role == Role::MessageBox || role == Role::Button
           || (headings && role == Role::Heading);
}

bool scalesHeight(Role role)
{
    return role == Role::TextBox || role == Role::MessageBox || role == Role::Button;
}

int scaled(int value, double ratio) { return int(std::lround(value * ratio)); }

// Left and width of one item by the rule of its row.
void placeHorizontally(QRect &r, int item, bool scale, double ratio, bool headings)
{
    const Role role = roleOf(item);
    const DesignPlace d = designPlace(item);
    int width = r.width();
    if (scale) {
        const int left = scaled(r.left(), ratio);
        if (scalesWidth(role, headings))
            width = scaled(width, ratio);
        r.setRect(left, r.top(), width, r.height());
    } else {
        if (role == Role::MessageBox)
            width = MessageBoxDesignSize.width();
        else if (d.width >= 0)
            width = d.width;
        r.setRect(d.left, r.top(), width, r.height());
    }
}

// Top and height of one item by the rule of its row.
void placeVertically(QRect &r, int item, bool scale, double ratio)
{
    const Role role = roleOf(item);
    const DesignPlace d = designPlace(item);
    int height = r.height();
    if (scale) {
        const int top = scaled(r.top(), ratio);
        if (scalesHeight(role))
            height = scaled(height, ratio);
        r.setRect(r.left(), top, r.width(), height);
    } else {
        if (role == Role::MessageBox)
            height = MessageBoxDesignSize.height();
        else if (d.height >= 0)
            height = d.height;
        r.setRect(r.left(), d.top, r.width(), height);
    }
}

Result designResult(const Request &request)
{
    Result result;
    result.geometry = designLayout(request.geometry);
    result.clientToSet = DesignClient;
    result.outerToSet = DesignOuter;
    result.reference = DesignClient;
    result.changed = true;
    return result;
}

} // namespace

DesignPlace designPlace(int item)
{
    static constexpr int label1Left[] = {60, 480, 2025, 3660, 5370, 7320};
    static constexpr int label2Left[] = {960, 2580, 4260, 6240, 8280};
    static constexpr int label3Left[] = {-30, -30, 0};
    static constexpr int label3Top[] = {660, 2220, 3780};
    // Track rows by box index: inputs 0..2, outputs 3..5 (tracks 1..3).
    static constexpr int rowTop[] = {960, 1290, 1620, 2520, 2850, 3180};
    static constexpr int boxHeight[] = {285, 285, 495, 285, 285, 495};
    // LIT1 0..2 name the inputs; 5, 4, 3 name output tracks 1, 2, 3.
    static constexpr int lit1Top[] = {990, 1320, 1650, 3210, 2880, 2550};
    static constexpr int buttonLeft[] = {510, 2700, 4890, 150, 2400, 4650, 6900, 7080};

    if (item >= Label1_0 && item < Label1_0 + 6) {
        const int i = item - Label1_0;
        return {label1Left[i], i == 0 ? 60 : 360, -1, -1};
    }
    if (item >= Label2_0 && item < Label2_0 + 5)
        return {label2Left[item - Label2_0], 360, -1, -1};
    if (item >= Label3_0 && item < Label3_0 + 3)
        return {label3Left[item - Label3_0], label3Top[item - Label3_0], 9345, -1};
    if (item >= LIT1_0 && item < LIT1_0 + 6)
        return {60, lit1Top[item - LIT1_0], -1, -1};
    if (item >= TIT_0 && item < TIT_0 + 6)
        return {390, rowTop[item - TIT_0], 8265, boxHeight[item - TIT_0]};
    if (item >= LT_0 && item < LT_0 + 6)
        return {8700, rowTop[item - LT_0], -1, -1};
    if (item == Label4)
        return {150, 4140, -1, -1};
    const int i = item - Command1_0;
    const bool firstRow = i <= 2 || i == 7;
    return {buttonLeft[i], firstRow ? 5010 : 5520, firstRow ? 1575 : 2115, firstRow ? 375 : 690};
}

Geometry designLayout(const Geometry &current)
{
    Geometry g = current;
    for (int item = 0; item < ItemCount; ++item) {
        const DesignPlace d = designPlace(item);
        QSize size = current[item].size();
        if (item == Label4)
            size = MessageBoxDesignSize;
        if (d.width >= 0)
            size.setWidth(d.width);
        if (d.height >= 0)
            size.setHeight(d.height);
        g[item] = QRect(QPoint(d.left, d.top), size);
    }
    return g;
}

Result relayout(const Request &request)
{
    Result result;
    result.geometry = request.geometry;
    result.reference = request.reference;

    const QSize outer = request.outer;
    const QSize client = request.client;
    if (request.minimized || (client.width() == 0 && client.height() == 0))
        return result;

    const bool wider = outer.width() > DesignOuter.width();
    const bool taller = outer.height() > DesignOuter.height();
    if (!wider && !taller) {
        // Too low to lay out: leave everything, the reference included, so a window dragged
        // through a tiny height does not scale from it afterwards.
        if (outer.height() < 1000)
            return result;
        return designResult(request);
    }

    const double widthRatio = request.reference.width() > 0
        ? double(client.width()) / request.reference.width() : 1.0;
    const double heightRatio = request.reference.height() > 0
        ? double(client.height()) / request.reference.height() : 1.0;
    const bool headings = wider && taller;

    auto place = [&](int item) {
        QRect r = request.geometry[item];
        placeHorizontally(r, item, wider, widthRatio, headings);
        placeVertically(r, item, taller, heightRatio);
        return r;
    };

    // Fit test on the lower-right button first, against the client area the window will have:
    // a window wider but too short gets its design height back, so it keeps its width.
    const int finalHeight = taller ? client.height() : DesignClient.height();
    const QRect corner = place(command1(6));
    if (corner.left() + corner.width() + 45 > client.width() || corner.top() + 135 > finalHeight)
        return designResult(request);

    for (int item = 0; item < ItemCount; ++item)
        result.geometry[item] = place(item);
    result.changed = true;
    result.reference = client;
    if (wider && !taller) {
        // Height back to the design; the width stays as the operator made it.
        result.clientToSet = QSize(client.width(), DesignClient.height());
        result.outerToSet = QSize(outer.width(), DesignOuter.height());
        result.reference = *result.clientToSet;
    }
    return result;
}

int toPixels(int twips, double dpi) { return int(std::lround(twips * dpi / 1440.0)); }
int toTwips(int pixels, double dpi) { return int(std::lround(pixels * 1440.0 / dpi)); }

QRect toPixels(const QRect &twips, double dpiX, double dpiY)
{
    return QRect(toPixels(twips.left(), dpiX), toPixels(twips.top(), dpiY),
                 toPixels(twips.width(), dpiX), toPixels(twips.height(), dpiY));
}

QSize toTwips(const QSize &pixels, double dpiX, double dpiY)
{
    return QSize(toTwips(pixels.width(), dpiX), toTwips(pixels.height(), dpiY));
}

QSize toPixelsFloor(const QSize &twips, double dpiX, double dpiY)
{
    return QSize(int(std::floor(twips.width() * dpiX / 1440.0 + 1e-9)),
                 int(std::floor(twips.height() * dpiY / 1440.0 + 1e-9)));
}

} // namespace MainLayout
