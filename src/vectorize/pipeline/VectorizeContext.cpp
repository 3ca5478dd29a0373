// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/pipeline/VectorizeContext.h"

#include "common/Toolkit.h"

namespace kelvarin {

VectorizeContext::VectorizeContext(const VirtualVram& despeckled_, const VirtualVram* asRead_,
                                   const VectorizeOptions& options_, PassState& pass_, Toolkit& toolkit_)
    : despeckled(despeckled_),
      asRead(asRead_),
      options(options_),
      tolerances(Tolerances::forScan(options_.dotsPerMm, options_.tolerance)),
      pass(pass_),
      toolkit(toolkit_),
      // While the workers run, the window goes on and a stop request is seen within the pacing interval.
      pool(options_.threads, [&toolkit_] { toolkit_.doEvents(EventPacing{}.ticksPerClockRead); }),
      tick([this] { steps->tick(kTicksPerItem); }) {}

}  // namespace kelvarin
