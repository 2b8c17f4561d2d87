#pragma once
// Applies the main window's layout (MainLayout, a pure function of sizes) to its controls: the
// design layout at first, a new one after each resize, with the window's size set back where
// the layout asks for it.
#include "ui/main/MainLayout.h"

#include <QSize>
#include <functional>

class QWidget;

class MainWindowLayout {
public:
    // `control(item)`: the control of each layout item.
    MainWindowLayout(QWidget &window, std::function<QWidget *(int item)> control);

    // The design layout: captions keep the size their text needs; sets the window's minimum and
    // first size.
    void init();
    // After each resize of the window.
    void resized();

    const MainLayout::Geometry &geometry() const { return geometry_; }
    QSize reference() const { return reference_; }

private:
    void apply();
    void resizeWindow(const QSize &pixels);

    QWidget &window_;
    std::function<QWidget *(int)> control_;
    MainLayout::Geometry geometry_{};
    QSize reference_;
    bool applyingSize_ = false; // our own set-back of the window size
};
