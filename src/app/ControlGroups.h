// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace kelvarin {

class View;

// The fixed groups of controls whose enabled state changes together, around reading and converting.
void SetCommandButtonsEnabled(View& view, bool enabled);
void SetFileAndSettingFieldsEnabled(View& view, bool enabled);
void SetColorChoiceEnabled(View& view, bool enabled);
void SetLineKindChoiceEnabled(View& view, bool enabled);
void SetSizeOffsetEnabled(View& view, bool enabled);
// All five groups, in the order above.
void SetAllEnabled(View& view, bool enabled);

}  // namespace kelvarin
