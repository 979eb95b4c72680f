// How one process-data exchange of a group's image goes over the wire.
#ifndef ETHERCAT_PROCESSDATA_H
#define ETHERCAT_PROCESSDATA_H

#include "engine.h"

namespace ethercat {

// Splits the image of group `g` (outputs, then inputs) into datagrams and
// packs them into frames: one LRW per part of the image, or, when a slave of
// the group cannot take LRW (g.blockLRW), LWR for the outputs and LRD for the
// inputs. Returns the number of frames filled (at most maxFrames; a larger
// image is exchanged only up to there).
size_t planPdFrames(const ec_groupt &g, PdFrame *frames, size_t maxFrames);

} // namespace ethercat

#endif
