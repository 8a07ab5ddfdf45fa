#pragma once

#include <QString>

#include <vector>

class QWidget;
struct SongControls;

enum class ControlKind { Spin, ComboBox, Text, Check };

// A control whose value a song file keeps, under its control number. The numbers are
// the file format: they came from the order in which the original window created its
// components and must never follow the order in which this program builds its own.
struct StoredControl {
    int number;
    QString objectName;
    ControlKind kind;
};

// Every stored control, ascending by number.
const std::vector<StoredControl> &storedControls();

const StoredControl *storedControlByNumber(int number);
const StoredControl *storedControlByName(const QString &objectName);

// The widget of the current song that holds `control`, found through the record rather
// than by searching the window, so that a stray widget of the same name cannot stand in.
// Null when the record has no such widget (yet).
QWidget *storedWidget(const SongControls &controls, const StoredControl &control);

// The widgets of all stored controls at once, in the order of storedControls(), each as
// storedWidget() would find it.
std::vector<QWidget *> storedWidgets(const SongControls &controls);
