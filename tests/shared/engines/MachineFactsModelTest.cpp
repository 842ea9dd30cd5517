#include "support/AllocationPause.h"

#include "engines/MachineFactsModel.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The model goes while its reader is still at work. In the sanitizer build the reader is held at each of
// its allocations after the last file, one round each, while the model goes: wherever on its way back the
// reader stands, nothing of the released model may be touched.
TEST(MachineFactsModelTest, AModelReleasedWhileItReadsIsNotReached)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (int allowed = 0;; ++allowed) {
        const QString root = dir.filePath(QString::number(allowed));
        ASSERT_TRUE(QDir().mkpath(root + "/sys/class/dmi/id"));
        // The serial number is the last file read: the reader waits at this FIFO until it is written.
        const QByteArray fifo = QFile::encodeName(root + "/sys/class/dmi/id/product_serial");
        ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
        auto model = std::make_unique<MachineFactsModel>(platform::MachineReader(
            (root + "/proc").toStdString(), (root + "/sys").toStdString(), (root + "/etc").toStdString()));
        // Opening for writing waits for the reader to open the other end.
        const int writer = ::open(fifo.constData(), O_WRONLY | O_CLOEXEC);
        ASSERT_GE(writer, 0);
        const auto finishFile = [writer] {
            EXPECT_EQ(::write(writer, "QV-1\n", 5), 5);
            ::close(writer);
        };
        if (!allocationpause::releasedWhileHeld(allowed, finishFile, [&] { model.reset(); }))
            break;
    }
}

} // namespace
