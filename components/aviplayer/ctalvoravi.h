// CTalvorAVI: the typed wrapper the video view control drives the AVI player with. Every
// call goes by DISPID through platform::invoke; nothing here knows the player's class.
//
// Drawing target of drawFrame (DISPID 21): the first argument is a counted IPaintTarget
// (painttarget.h) carrying the QPainter; drawFrame(QPainter *, ...) makes one for the call.
// The painter must be active for the whole call.
#pragma once

#include "platform/dispatch.h"
#include "platform/picture.h"

class QPainter;

namespace aviplayer {

class CTalvorAVI {
public:
    CTalvorAVI() = default;
    explicit CTalvorAVI(platform::ComPtr<platform::IDispatch> player)
        : m_player(std::move(player)) {}

    // A new player by its class identifier; empty (and every call failing softly) when the
    // class is not registered.
    static CTalvorAVI create(platform::HRESULT *status = nullptr);

    bool valid() const { return static_cast<bool>(m_player); }
    platform::IDispatch *dispatch() const { return m_player.get(); }

    void setBackColor(platform::COLORREF color);                       // -501
    platform::LONG open(const std::string &file, platform::LONG mode); // 16: 0, or -1
    platform::LONG close();                                            // 17
    platform::LONG numberOfFrames() const;                             // 1
    float frameRate() const;                                           // 2
    platform::LONG width() const;                                      // 3
    platform::LONG height() const;                                     // 4
    bool isOpen() const;                                               // 6
    float frameRateForced() const;                                     // 10
    void setFrameRateForced(float rate);                               // 10
    // 21: draws the frame scaled by zoom/100 from source (column, row) to (width, height),
    // its top left at (shiftX, shiftY) (zero or negative sub-pixel shifts). 0 drawn, -1 no
    // frame, -2 bad target.
    platform::LONG drawFrame(QPainter *painter, platform::LONG frame, platform::LONG zoom,
                             platform::LONG column, platform::LONG row, platform::LONG width,
                             platform::LONG height, platform::LONG shiftX, platform::LONG shiftY);
    // 48: a picture of the frame part; width and height 0 give the whole frame.
    platform::ComPtr<platform::IPicture> picturePart(platform::LONG frame, platform::LONG zoom,
                                                     platform::LONG x, platform::LONG y,
                                                     platform::LONG width,
                                                     platform::LONG height) const;
    // 25: the per-pixel median of three pictures (flags and value are reserved, pass 0).
    platform::ComPtr<platform::IPicture> mixBackground(platform::IPicture *a, platform::IPicture *b,
                                                       platform::IPicture *c,
                                                       platform::LONG flags = 0,
                                                       float value = 0.0f);
    // 26: `frames[1]`'s pixels that differ from `background` laid over `frames[0]`.
    platform::ComPtr<platform::IPicture> mixPicture(platform::IPicture *background,
                                                    platform::IPicture *frame,
                                                    platform::IPicture *second,
                                                    platform::LONG flags, float threshold,
                                                    platform::COLORREF color);

private:
    platform::DispatchResult get(platform::DISPID id,
                                 std::vector<platform::Variant> args = {}) const;

    platform::ComPtr<platform::IDispatch> m_player;
};

} // namespace aviplayer
