#include "master_notes.h"

#if __has_include(<ethercat/diagnostics.h>)
#include <ethercat/diagnostics.h>
#define BUSCHECK_MASTER_NOTES 1
#endif

namespace buscheck {

#ifdef BUSCHECK_MASTER_NOTES

MasterNotes masterNotes(const ecx_contextt &bus)
{
    const ethercat::Diagnostics d = ethercat::diagnostics(&bus);
    MasterNotes n;
    n.reported = true;
    for (const std::string &r : d.reasons)
        n.reasons << QString::fromStdString(r);
    n.expectedWkc = d.expectedWkc[0];
    for (const ethercat::SlaveDiagnostics &s : d.slaves)
        n.slaves.push_back({s.escType, QString::fromLatin1(ethercat::sizeSourceName(s.outputsFrom)),
                            QString::fromLatin1(ethercat::sizeSourceName(s.inputsFrom)),
                            QString::fromStdString(s.sizesFallback),
                            s.outputsFrom == ethercat::SizeSource::CoE || s.inputsFrom == ethercat::SizeSource::CoE});
    return n;
}

QString adapterListFailure()
{
    return QString::fromStdString(ethercat::adapterListFailure());
}

#else

MasterNotes masterNotes(const ecx_contextt &)
{
    return MasterNotes();
}

QString adapterListFailure()
{
    return QString();
}

#endif

} // namespace buscheck
