#include "sysmessages.h"

namespace {

TStatusMessageHook& statusHook()
{
    static TStatusMessageHook hook;
    return hook;
}

TSysMessageSink& messageSink()
{
    static TSysMessageSink sink;
    return sink;
}

}  // namespace

void SetStatusMessageHook(TStatusMessageHook hook)
{
    statusHook() = std::move(hook);
}

void StatusMessage(const QString& text, bool alarm)
{
    if (statusHook())
        statusHook()(text, alarm);
}

void SetSysMessageSink(TSysMessageSink sink)
{
    messageSink() = std::move(sink);
}

void ShowSysMessage(const QString& text, bool alarm)
{
    StatusMessage(text, alarm);
    if (text.isEmpty() || !messageSink())
        return;
    if (alarm)
        messageSink()(QStringLiteral("ALARM: ") + text, Qt::red, false);
    else
        messageSink()(text, Qt::black, true);
}

void ShowSysMessageColor(const QString& text, const QColor& colour)
{
    StatusMessage(text, false);
    if (messageSink() && !text.isEmpty())
        messageSink()(text, colour, true);
}

void ShowSysInfo(const QString& text)
{
    ShowSysMessageColor(text, Qt::black);
}
