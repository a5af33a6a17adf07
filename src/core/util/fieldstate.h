#pragma once
// States of an edit field that shows a device value; the views map them to background colours
// (see the widgets library). Logic classes hold and emit these, never colours.

enum class TFieldState {
    Normal,     // the user has edited the field since the last exchange
    Pending,    // a read request for the field has been sent
    Sent,       // a value from the field has been sent to the device
    Confirmed,  // a valid answer has filled the field
    Invalid,    // an answer was missing or malformed, or the input was rejected
};
