#pragma once

#include "platform/AppPaths.h"
#include "support/RecordingDialogs.h"

#include <QTemporaryDir>
#include <memory>

// A data folder of the test's own and recorded dialogs, made anew for each test function
// (call init() and cleanup() from the test's own init and cleanup slots).
class ScratchData
{
public:
    void init()
    {
        m_data = std::make_unique<QTemporaryDir>();
        AppPaths::setDataDir(m_data->path());
        m_dialogs = std::make_unique<RecordingDialogs>();
    }

    void cleanup()
    {
        m_dialogs.reset();
        m_data.reset();
    }

    QTemporaryDir *data() const { return m_data.get(); }
    RecordingDialogs *dialogs() const { return m_dialogs.get(); }

private:
    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<RecordingDialogs> m_dialogs;
};
