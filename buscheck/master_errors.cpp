#include "master_errors.h"

#include <ecwire/mailbox.h>

namespace buscheck {

MasterError masterError(const ecat::MasterError &from)
{
    const ec_errort &e = from.entry;
    MasterError m;
    m.slave = e.Slave;
    m.text = QString::fromStdString(from.text);
    switch (e.Etype) {
    case EC_ERR_TYPE_SDO_ERROR:
        m.type = QStringLiteral("SDO abort");
        m.index = e.Index;
        m.subindex = e.SubIdx;
        m.code = uint32_t(e.AbortCode);
        m.meaning = QString::fromUtf8(ecwire::coe::abortCodeText(m.code));
        break;
    case EC_ERR_TYPE_EMERGENCY:
        m.type = QStringLiteral("emergency");
        m.code = e.ErrorCode;
        break;
    case EC_ERR_TYPE_MBX_ERROR:
        m.type = QStringLiteral("mailbox error");
        m.code = e.ErrorCode;
        m.meaning = QString::fromUtf8(ecwire::mbx::errorText(e.ErrorCode));
        break;
    case EC_ERR_TYPE_PACKET_ERROR:
        m.type = QStringLiteral("packet error");
        m.index = e.Index;
        m.subindex = e.SubIdx;
        m.code = e.ErrorCode;
        break;
    default:
        m.type = QStringLiteral("error of type %1").arg(int(e.Etype));
        m.code = e.ErrorCode;
        break;
    }
    return m;
}

} // namespace buscheck
