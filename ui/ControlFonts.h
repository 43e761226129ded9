#pragma once

#include <QFont>

// The layouts were drawn for Tahoma. Where the system lacks it (Debian), a Tahoma shipped with
// Wine is registered; failing that, the fallback family is shrunk so no caption is clipped.
class ControlFonts
{
public:
    // Buttons, text boxes, option buttons and check boxes.
    static QFont dialog();
    // The GM flag boxes: their longest captions overrun the fixed box width at 8 pt.
    static QFont flagBox();
    // Tahoma at the given size, bold, for the captions that name a font of their own.
    static QFont boldTahoma(qreal pointSize);

    static bool tahomaAvailable();

    // Tests measure the captions in the fallback font as well.
    static void setTahomaAllowed(bool allowed);

private:
    static QFont tahoma(qreal pointSize);
};
