#include "app/common/appstate.h"

namespace common {

namespace {

AppState &instance() {
    static AppState state = [] {
        AppState fresh;
        fresh.MarkerColors = defaultMarkerColors();
        return fresh;
    }();
    return state;
}

} // namespace

AppState &appState() {
    return instance();
}

void resetAppState() {
    instance() = AppState{};
    instance().MarkerColors = defaultMarkerColors();
}

std::array<QColor, kMarkerColorCount> defaultMarkerColors() {
    static constexpr int kRgb[kMarkerColorCount][3] = {
        {255, 128, 128}, {255, 255, 128}, {128, 255, 128}, {128, 255, 255}, {128, 128, 255},
        {255, 128, 255}, {254, 206, 206}, {254, 206, 247}, {220, 206, 254}, {206, 214, 254},
        {206, 234, 254}, {206, 254, 253}, {206, 254, 224}, {254, 253, 206}, {186, 171, 171},
        {171, 186, 186}, {168, 204, 181}, {204, 203, 168}, {182, 76, 11},   {218, 171, 189},
        {184, 171, 218}, {171, 195, 218}, {216, 185, 117}, {244, 241, 159}, {244, 169, 159},
        {219, 159, 244}};
    std::array<QColor, kMarkerColorCount> colors;
    for (int i = 0; i < kMarkerColorCount; ++i)
        colors[static_cast<std::size_t>(i)] = QColor(kRgb[i][0], kRgb[i][1], kRgb[i][2]);
    return colors;
}

} // namespace common
