#pragma once

namespace framora {

// Fonts, painting and PDF writing need a Qt GUI application object, which the program
// makes. Throws FramoraError when there is none, or when the program's application is not
// a GUI one, under which nothing can be drawn.
void RequireGuiApplication();

// For programs that draw without a screen (command line, tests, benchmarks): the Qt platform
// becomes "offscreen" unless QT_QPA_PLATFORM asks for another. Call before making the
// application object.
void DrawOffscreenUnlessAsked();

}  // namespace framora
