#pragma once
// The look the small windows share: a 48 by 48 picture at the left of their content, and
// their buttons centred below.
#include <QList>
#include <QStyle>

class QLabel;
class QLayout;
class QPushButton;
class QWidget;

// The picture `Picture1`, always drawn at 48 by 48.
QLabel *makePicture(QWidget *parent, QStyle::StandardPixmap icon);
// A named label showing `text` as it stands (a track text with "<" is never taken for markup).
QLabel *makeLabel(const QString &text, QWidget *parent, const QString &name);

// Lays out `dialog`: picture, then `content` (a widget's layout or a layout), buttons below.
void layoutPictureDialog(QWidget *dialog, QLabel *picture, QLayout *content, const QList<QPushButton *> &buttons);
