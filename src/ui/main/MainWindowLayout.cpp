#include "ui/main/MainWindowLayout.h"

#include <QWidget>

#include <algorithm>

namespace ML = MainLayout;

MainWindowLayout::MainWindowLayout(QWidget &window, std::function<QWidget *(int)> control)
    : window_(window), control_(std::move(control))
{
}

void MainWindowLayout::init()
{
    const double dx = window_.logicalDpiX(), dy = window_.logicalDpiY();
    for (int item = 0; item < ML::ItemCount; ++item)
        geometry_[item] = QRect(QPoint(0, 0), ML::toTwips(control_(item)->sizeHint(), dx, dy));
    for (int i = 0; i < 6; ++i)
        geometry_[ML::lt(i)].setWidth(420);
    // Room for the longest port name.
    geometry_[ML::label2(0)].setWidth(std::max(geometry_[ML::label2(0)].width(), 1000));
    geometry_ = ML::designLayout(geometry_);
    reference_ = ML::DesignClient;
    apply();

    const QSize design = ML::toPixelsFloor(ML::DesignClient, dx, dy);
    window_.setMinimumSize(design);
    resizeWindow(design);
}

void MainWindowLayout::apply()
{
    const double dx = window_.logicalDpiX(), dy = window_.logicalDpiY();
    for (int item = 0; item < ML::ItemCount; ++item)
        control_(item)->setGeometry(ML::toPixels(geometry_[item], dx, dy));
}

void MainWindowLayout::resizeWindow(const QSize &pixels)
{
    applyingSize_ = true;
    window_.resize(pixels);
    applyingSize_ = false;
}

void MainWindowLayout::resized()
{
    if (applyingSize_)
        return;
    const double dx = window_.logicalDpiX(), dy = window_.logicalDpiY();
    ML::Request request;
    request.geometry = geometry_;
    request.reference = reference_;
    request.client = ML::toTwips(window_.size(), dx, dy);
    const QSize framePixels = window_.frameGeometry().size() - window_.size();
    const QSize frame = framePixels == QSize(0, 0) ? ML::DefaultFrame : ML::toTwips(framePixels, dx, dy);
    request.outer = request.client + frame;
    request.minimized = window_.isMinimized();

    const ML::Result result = ML::relayout(request);
    reference_ = result.reference;
    if (!result.changed)
        return;
    geometry_ = result.geometry;
    apply();
    if (result.clientToSet) {
        // Pixels never beyond the twips asked for, so the size set back stays within its limit.
        const QSize pixels = ML::toPixelsFloor(*result.clientToSet, dx, dy);
        if (pixels != window_.size())
            resizeWindow(pixels);
        reference_ = ML::toTwips(pixels, dx, dy);
    }
}
