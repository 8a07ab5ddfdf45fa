#pragma once

#include <QWidget>

struct SongControls;

// One page of eight channel strips (1-8 or 9-16). The page only builds the controls
// and enters them in the song record; what they mean is up to those who read it.
class ChannelStripsPage : public QWidget
{
    Q_OBJECT
public:
    static constexpr int StripsPerPage = 8;

    ChannelStripsPage(int firstStrip, SongControls &controls, QWidget *parent = nullptr);

    // The unit-name fields were numbered by the order they were drawn in, not by strip.
    static QString unitNameObjectName(int strip);
};
