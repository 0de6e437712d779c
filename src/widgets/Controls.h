#pragma once

#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>

namespace obs::controls {

// Controls carry their screen name as objectName: tests and tools find them by it.
template <class T> T* named(QWidget* parent, const char* name) {
    auto* w = new T(parent);
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

inline QLabel* label(QWidget* parent, const char* name, const QString& caption) {
    auto* l = named<QLabel>(parent, name);
    l->setText(caption);
    return l;
}

// Buttons never take Return for themselves: Return belongs to the box being typed in.
inline QPushButton* button(QWidget* parent, const char* name, const QString& caption) {
    auto* b = named<QPushButton>(parent, name);
    b->setText(caption);
    b->setAutoDefault(false);
    return b;
}

inline QRadioButton* option(QWidget* parent, const char* name, const QString& caption) {
    auto* o = named<QRadioButton>(parent, name);
    o->setText(caption);
    return o;
}

// The program's picture, as decoration.
inline QLabel* picture(QWidget* parent, const char* name, int size) {
    auto* l = named<QLabel>(parent, name);
    l->setPixmap(
        QPixmap(QStringLiteral(":/obsledger.png")).scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    l->setFixedSize(size, size);
    return l;
}

} // namespace obs::controls
