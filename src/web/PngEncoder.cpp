#include "web/PngEncoder.h"

#include <QBuffer>

#include <atomic>

PngEncoder::PngEncoder(QObject *parent)
    : QObject(parent), m_wanted(std::make_shared<std::atomic<std::uint64_t>>(0))
{
    m_worker.setMaxThreadCount(1);
}

PngEncoder::~PngEncoder()
{
    m_worker.clear();
    m_worker.waitForDone();
}

void PngEncoder::encode(std::uint64_t version, const QImage &picture)
{
    if (version == m_version)
        return;
    m_version = version;
    m_png.clear();
    m_wanted->store(version);
    if (picture.isNull()) {
        m_readyVersion = version;
        emit encoded();
        return;
    }
    // The destructor waits for the worker, so this outlives every run.
    m_worker.start([this, wanted = m_wanted, image = picture, version] {
        if (wanted->load() != version)
            return;
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        // Handed over on the owner's thread, where a newer picture may have
        // come in meanwhile.
        QMetaObject::invokeMethod(this, [this, version, png = std::move(png)] {
            if (m_version != version)
                return;
            m_png = png;
            m_readyVersion = version;
            emit encoded();
        });
    });
}
