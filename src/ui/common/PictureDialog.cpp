#include "ui/common/PictureDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

QLabel *makePicture(QWidget *parent, QStyle::StandardPixmap icon)
{
    auto *picture = new QLabel(parent);
    picture->setObjectName("Picture1");
    QPixmap pixmap = parent->style()->standardIcon(icon).pixmap(48, 48);
    if (pixmap.deviceIndependentSize().toSize() != QSize(48, 48))
        pixmap = pixmap.scaled(48, 48, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    picture->setPixmap(pixmap);
    picture->setFixedSize(48, 48);
    return picture;
}

void layoutPictureDialog(QWidget *dialog, QLabel *picture, QLayout *content, const QList<QPushButton *> &buttons)
{
    auto *row = new QHBoxLayout;
    row->addWidget(picture, 0, Qt::AlignTop);
    row->addSpacing(14);
    row->addLayout(content, 1);
    auto *buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    for (QPushButton *button : buttons) {
        button->setMinimumWidth(90);
        buttonRow->addWidget(button);
    }
    buttonRow->setSpacing(12);
    buttonRow->addStretch();
    auto *outer = new QVBoxLayout(dialog);
    outer->addLayout(row);
    outer->addSpacing(10);
    outer->addLayout(buttonRow);
    outer->setContentsMargins(18, 18, 18, 14);
    // Never narrower than its layout: a minimum of the window's own would let the toolkit
    // squeeze a wide window to two thirds of a small screen, over its own labels.
    outer->addStrut(340);
    outer->setSizeConstraint(QLayout::SetMinimumSize);
}

QLabel *makeLabel(const QString &text, QWidget *parent, const QString &name)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    return label;
}
