#pragma once
// The one way windows talk to the device: SendOrder builds the frame and queues the order.

#include "wireformat.h"

#include <functional>

using TOrderSink = std::function<void(const TOrder&)>;

// Where SendOrder queues its orders (the worker's AddOrder); installed by the main window.
void SetOrderSink(TOrderSink sink);

// While halted, SendOrder discards orders (device change, firmware update).
void SetLinkHalted(bool halted);
bool LinkHalted();
// Counts the halts so far: an order that saw the count change was in flight at a halt.
int LinkHaltCount();

// Builds the frame of command and queues it for clientId with tag; false when it was discarded
// (halted, or no worker yet). User-interface thread only.
bool SendOrder(int clientId, const QString& command, int tag);
