#pragma once

#include "settings/ui/OptionPage.h"

namespace tessaly {

class COptionListEditor;

// "Advance": the data connection, transfer type and buffer sizes, the keep-alive with its idle time
// and commands (enabled only while "Keep Active" is checked), and the text-file extensions
//.
class CAdvanceProp : public COptionPage {
    Q_OBJECT
public:
    explicit CAdvanceProp(QWidget* parent = nullptr);

    COptionListEditor& IdleCommands() const { return *idleCommands_; }
    COptionListEditor& Extensions() const { return *extensions_; }

private:
    COptionListEditor* idleCommands_;
    COptionListEditor* extensions_;
};

} // namespace tessaly
