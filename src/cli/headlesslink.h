#pragma once

#include "link/dialogs.h"
#include "link/linkview.h"

#include <QString>

namespace lumivor::cli {

// The connection's view without a window: it answers with the port and rate
// the command line chose and remembers what a window would have shown.
class HeadlessView final : public link::LinkView
{
public:
    HeadlessView(int portNumber, int rateIndex) : portNumber_(portNumber), rateIndex_(rateIndex) {}

    void setConnectCaption(const QString&) override {}
    void focusConnect() override {}
    void setPortChoiceEnabled(bool) override {}
    std::optional<int> selectedPortNumber() const override { return portNumber_; }
    int selectedRateIndex() const override { return rateIndex_; }
    void selectRateIndex(int index) override { rateIndex_ = index; }
    void setLinkStatus(const QString&) override {}
    void setResponseText(const QString&) override {}
    void takeOverContrast(int value) override { contrast_ = value; }
    void setControllerId(const QString&) override {}

    std::optional<int> contrast() const { return contrast_; }

private:
    int portNumber_;
    int rateIndex_;
    std::optional<int> contrast_;
};

// The operator's dialogs without a window: a question was already answered
// by running the command, so every question gets its Yes or OK; messages are
// kept for the result line.
class HeadlessDialogs final : public link::Dialogs
{
public:
    Answer message(const QString& text, const QString&, Icon, Buttons buttons) override
    {
        lastMessage_ = text;
        return buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok;
    }
    QString openFileName(const QString&) override { return {}; }
    QString saveFileName(const QString&) override { return {}; }

    QString lastMessage() const { return lastMessage_; }

private:
    QString lastMessage_;
};

} // namespace lumivor::cli
