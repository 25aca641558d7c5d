#include "tools/printersim/simfaults.h"

#include <QStringList>

QString SimFaults::describe() const
{
    QStringList parts;
    if (split)
        parts << QStringLiteral("split writes");
    if (garbage)
        parts << QStringLiteral("garbage between packets");
    if (dropAfter > 0)
        parts << QStringLiteral("drop after %1 replies").arg(dropAfter);
    if (dropMid > 0)
        parts << QStringLiteral("drop inside reply %1").arg(dropMid);
    if (handshake == Handshake::Never)
        parts << QStringLiteral("handshake never answered");
    if (handshake == Handshake::Twice)
        parts << QStringLiteral("handshake answered twice");
    if (stallUpload >= 0)
        parts << QStringLiteral("uploads stall after %1 bytes").arg(stallUpload);
    if (discoveryFlood > 0)
        parts << QStringLiteral("discovery flood of %1 replies").arg(discoveryFlood);
    if (ptyCloseAfter >= 0)
        parts << QStringLiteral("USB closes after %1 bytes read").arg(ptyCloseAfter);
    if (!ignoreField.isEmpty())
        parts << QStringLiteral("writes of %1 ignored").arg(ignoreField);
    return QStringLiteral("faults: %1; seed %2").arg(parts.join(QStringLiteral(", "))).arg(seed);
}
