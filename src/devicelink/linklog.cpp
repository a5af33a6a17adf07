#include "linklog.h"

TLinkLog& TLinkLog::instance()
{
    static TLinkLog log;
    return log;
}

void TLinkLog::write(const QString& tag, const QByteArray& data) const
{
    if (enabled() && FHook)
        FHook(tag, data);
}
