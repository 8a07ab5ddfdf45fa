#pragma once

#include <QWidget>

struct SongControls;

// The song's controller block: volume, bank, pan and five user-chosen controllers,
// each with its on switch and value.
class ControllerDataPage : public QWidget
{
    Q_OBJECT
public:
    explicit ControllerDataPage(SongControls &controls, QWidget *parent = nullptr);
};
