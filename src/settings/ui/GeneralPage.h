#pragma once

#include "settings/ui/OptionPage.h"

namespace tessaly {

// "General": the anonymous e-mail, connection and login attempts, and the time-outs, whose fields are
// enabled only while "Timeout setting" is chosen.
class CGeneralPage : public COptionPage {
    Q_OBJECT
public:
    explicit CGeneralPage(QWidget* parent = nullptr);
};

} // namespace tessaly
