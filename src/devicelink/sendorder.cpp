#include "sendorder.h"

namespace {

// Both live on the user-interface thread, where every SendOrder caller runs.
struct OrderChannel {
    TOrderSink sink;
    bool halted = false;
    int haltCount = 0;
};

OrderChannel& channel()
{
    static OrderChannel c;
    return c;
}

}  // namespace

void SetOrderSink(TOrderSink sink)
{
    channel().sink = std::move(sink);
}

void SetLinkHalted(bool halted)
{
    if (halted && !channel().halted)
        ++channel().haltCount;
    channel().halted = halted;
}

int LinkHaltCount()
{
    return channel().haltCount;
}

bool LinkHalted()
{
    return channel().halted;
}

bool SendOrder(int clientId, const QString& command, int tag)
{
    OrderChannel& c = channel();
    if (c.halted || !c.sink)
        return false;
    c.sink(MakeOrder(clientId, command, tag));
    return true;
}
