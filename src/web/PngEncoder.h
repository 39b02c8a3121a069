#pragma once
// The background picture as PNG for the board's network views. Encoding a
// large picture takes up to a second, so it runs on a worker thread, once per
// picture; a picture replaced while it waits or is encoded is dropped. The
// result and the ready() signal arrive on the owner's thread.

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QThreadPool>

#include <atomic>
#include <cstdint>
#include <memory>

class PngEncoder : public QObject
{
    Q_OBJECT
public:
    explicit PngEncoder(QObject *parent = nullptr);
    ~PngEncoder() override;

    // Starts encoding picture as the newest version, unless that version is
    // the one already in hand; a null picture has no PNG and is ready at once.
    void encode(std::uint64_t version, const QImage &picture);

    // The newest version's PNG, or empty while it is encoded or when there
    // is no picture.
    const QByteArray &png() const { return m_png; }
    // The newest version has its PNG, or has no picture.
    bool ready() const { return m_readyVersion == m_version; }

signals:
    void encoded();

private:
    std::uint64_t m_version = 0;
    std::uint64_t m_readyVersion = 0;
    QByteArray m_png;
    // The version the worker should still encode, shared with it.
    std::shared_ptr<std::atomic<std::uint64_t>> m_wanted;
    QThreadPool m_worker;
};
