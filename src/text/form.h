// A window as core procedures see it: controls addressed by their names.
//
// The collection run, the article writer, the collector run and the saved settings read
// the window "live" through this interface, so a change the user makes while a run is
// going takes effect at the next read. Control names are UTF-8 source literals such as
// "编辑框模板"; texts are local text.
#pragma once

#include <string>

#include "text/text.h"

namespace lilan {

class Form {
public:
    virtual ~Form() = default;
    // Edit text of an edit box or combo box; caption of a button, check box or radio button.
    virtual Text text(const char* control) const = 0;
    virtual void setText(const char* control, const Text& value) = 0;
    virtual bool isChecked(const char* control) const = 0;
    virtual void setChecked(const char* control, bool checked) = 0;
    // The window's own caption.
    virtual void setCaption(const Text& caption) = 0;
    // The first part of the status bar.
    virtual void setStatus(const Text& status) = 0;
};

} // namespace lilan
