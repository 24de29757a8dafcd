#include "ui/shell/Application.h"

void UseSystemDialogFont() {
    // The desktop's own font, as Qt takes it.
}
