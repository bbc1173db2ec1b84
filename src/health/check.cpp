#include "health/check.h"

#include <map>

namespace korvel {

qint64 CheckReport::total() const {
    qint64 n = 0;
    for (qint64 c : counts) n += c;
    return n;
}

CheckReport CheckRecords(Connection& conn, const RowQuery& scope, const std::atomic<bool>* stop,
                         const std::function<void(qint64)>& progress,
                         const std::function<void(const ScannedRecord&)>& each, const ScanOptions& options) {
    CheckReport report;
    std::map<QString, CheckedDisk> disks;
    std::map<const ScanDisk*, CheckedDisk*> byScanDisk;
    report.stopped = !ScanRecords(
        conn, scope,
        [&](const ScannedRecord& r) {
            const int s = static_cast<int>(r.state);
            ++report.counts[s];
            if (r.state != ScanState::Present) report.ids[s].push_back(r.id);
            if (r.state == ScanState::Unreadable) report.unreadable.push_back({r.id, r.path, r.error});
            CheckedDisk*& d = byScanDisk[r.disk];
            if (!d) {
                const QString key = r.vol.isEmpty() ? QStringLiteral("0") : r.vol;
                CheckedDisk& disk = disks[key];
                disk.identity = key;
                disk.roots = r.disk->roots;
                d = &disk;
            }
            ++d->counts[s];
            d->mounted = r.disk->mounted && !r.disk->gone.load();
            d->mountPoint = d->mounted ? r.disk->mountPoint : QString();
            if (each) each(r);
        },
        stop, progress, options);
    for (auto& [id, d] : disks) report.disks.push_back(std::move(d));
    return report;
}

QString DiskDescription(const CheckedDisk& disk) {
    if (disk.identity == QLatin1String("0")) return QStringLiteral("无磁盘号(no disk identity)");
    QString text = QStringLiteral("磁盘(disk) ") + disk.identity;
    if (disk.mounted) return text + QStringLiteral(" 已挂载于(mounted at) ") + disk.mountPoint;
    text += QStringLiteral(" 未挂载(not mounted)");
    if (!disk.roots.isEmpty())
        text += QStringLiteral(", 曾见于(last seen at) ") + disk.roots.join(QStringLiteral(", "));
    return text;
}

}  // namespace korvel
