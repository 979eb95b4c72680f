#include "master_fixture.h"

#include "engine.h"

SavedMasterRecord::SavedMasterRecord(const ecx_contextt *c)
{
    auto copy = std::make_shared<ethercat::ContextState>();
    const ethercat::ContextState &from = ethercat::stateOf(c);
    copy->slaves = from.slaves;
    std::copy(std::begin(from.expectedWkc), std::end(from.expectedWkc), std::begin(copy->expectedWkc));
    copy->reasons = from.reasons;
    record_ = copy;
}

void SavedMasterRecord::restoreTo(const ecx_contextt *c) const
{
    const auto &from = *static_cast<const ethercat::ContextState *>(record_.get());
    ethercat::ContextState &to = ethercat::stateOf(c);
    to.slaves = from.slaves;
    std::copy(std::begin(from.expectedWkc), std::end(from.expectedWkc), std::begin(to.expectedWkc));
    to.reasons = from.reasons;
}
