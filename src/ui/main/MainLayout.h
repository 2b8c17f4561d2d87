#pragma once
// Placement of the main window's controls when the window is resized, as a pure function of
// sizes (no widgets): every length in twips (1440 per inch).
#include <QRect>
#include <QSize>
#include <array>
#include <optional>

namespace MainLayout {

// The controls that follow the window size, in one array. Label1 6 and Label5 keep their places.
enum Item : int {
    Label1_0 = 0,        // "Device Settings:"
    Label1_1 = 1,        // setting names 1..5
    Label2_0 = 6,        // setting values 0..4
    Label3_0 = 11,       // headings 0..2
    LIT1_0 = 14,         // track names 0..5
    TIT_0 = 20,          // track boxes 0..5
    LT_0 = 26,           // counts 0..5
    Label4 = 32,         // message box
    Command1_0 = 33,     // buttons 0..7
    ItemCount = 41
};

constexpr int label1(int i) { return Label1_0 + i; } // 0..5
constexpr int label2(int i) { return Label2_0 + i; }
constexpr int label3(int i) { return Label3_0 + i; }
constexpr int lit1(int i) { return LIT1_0 + i; }
constexpr int tit(int i) { return TIT_0 + i; }
constexpr int lt(int i) { return LT_0 + i; }
constexpr int command1(int i) { return Command1_0 + i; }

using Geometry = std::array<QRect, ItemCount>;

// Design size: outer 9270 x 6750, client 9150 x 6345.
inline constexpr QSize DesignOuter{9270, 6750};
inline constexpr QSize DesignClient{9150, 6345};
// Outer minus client when the platform does not say.
inline constexpr QSize DefaultFrame{120, 405};
// The message box's own size, which the design layout does not set.
inline constexpr QSize MessageBoxDesignSize{8835, 645};

// What the design layout sets: left, top, and width/height where given (else -1: keep).
struct DesignPlace {
    int left, top, width, height;
};
DesignPlace designPlace(int item);

// The design layout applied to `current`: positions from the design, sizes where the design
// gives them (the message box gets its 8835 x 645); other sizes kept.
Geometry designLayout(const Geometry &current);

struct Request {
    Geometry geometry;   // current placement of every item
    QSize reference;     // client size at the last completed relayout
    QSize outer;         // new outer size of the window
    QSize client;        // new client size
    bool minimized = false;
};

struct Result {
    Geometry geometry;
    QSize reference;
    // Set when the window must be given this size (client and outer) by the caller.
    std::optional<QSize> clientToSet;
    std::optional<QSize> outerToSet;
    bool changed = false; // false: nothing was placed (minimized, or too low to lay out)
};

Result relayout(const Request &request);

// Twips <-> pixels at a given logical dpi (96 dpi: 15 twips per pixel).
int toPixels(int twips, double dpi);
int toTwips(int pixels, double dpi);
QRect toPixels(const QRect &twips, double dpiX, double dpiY);
QSize toTwips(const QSize &pixels, double dpiX, double dpiY);
// Largest pixel size that does not exceed `twips` (so a size set back never crosses a limit).
QSize toPixelsFloor(const QSize &twips, double dpiX, double dpiY);

} // namespace MainLayout
