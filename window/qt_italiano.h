#pragma once
// Qt's own texts in the window (the save dialog of the export, the context
// menu of every text box, the buttons of the message boxes) in Italian, as
// everything else the operator reads.

namespace crv::window {

// Installs Qt's Italian translation in the running application (it lives as
// long as the application). False when the translation is not installed on
// this machine (Debian package qt6-translations-l10n): Qt's texts then stay
// in English.
bool installaTraduzioneQt();

}  // namespace crv::window
