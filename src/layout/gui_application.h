#pragma once

namespace framora {

// Fonts, painting and PDF writing need a Qt GUI application object. Makes one (without a
// display, unless a platform was asked for) when the program has none. Throws FramoraError
// when the program runs a non-GUI Qt application, under which nothing can be drawn.
void EnsureGuiApplication();

}  // namespace framora
