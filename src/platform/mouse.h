#pragma once

namespace zorblet::platform {

// One read of the mouse: motion since the previous read, and the left button.
struct MouseReading {
    int DeltaX = 0;
    int DeltaY = 0;
    bool LeftButton = false;
};

class Mouse {
public:
    virtual ~Mouse() = default;
    // Captures the mouse (cursor hidden, relative motion) and reads it.
    // While the window lacks input focus it reports no motion and frees the cursor.
    virtual MouseReading Read() = 0;
    // Gives the cursor back; the next Read captures it again.
    virtual void Release() = 0;
};

}  // namespace zorblet::platform
