#pragma once

#include "fakeserialport.h"
#include "protocol/flashimage.h"

#include <QByteArray>

namespace lumivor::testing {

// An image with every byte value in it, and the pairs "ff", "0a" and "a0"
// at known places (the first three bytes).
inline QByteArray sampleFlashImage(unsigned seed = 1)
{
    QByteArray image(protocol::flashImageBytes, '\0');
    quint32 state = seed;
    char* bytes = image.data();
    for (qsizetype i = 0; i < image.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        bytes[i] = static_cast<char>(state >> 24);
    }
    image[0] = '\xff';
    image[1] = '\x0a';
    image[2] = '\xa0';
    return image;
}

// A controller's side of the flash exchange, scripted on the port double:
// 29 01 and every 29 answer with the next block of its image as lowercase
// text; 29 02 makes every later write a data byte, with a ready byte ">"
// before each block (none after the last). Knobs make it misbehave.
struct FlashController
{
    explicit FlashController(FakeSerialPort& port, QByteArray image = sampleFlashImage())
        : port(port), text(image.toHex())
    {
        port.onOutput = [this](const QByteArray& bytes) { heard(bytes); };
    }

    void heard(const QByteArray& bytes)
    {
        if (writing) {
            received += bytes;
            if (received.size() % protocol::flashBlockBytes == 0 &&
                received.size() < protocol::flashImageBytes)
                sendReady();
            return;
        }
        if (bytes == QByteArray("\x29\x01")) {
            nextBlock = 0;
            sendBlock();
        } else if (bytes == QByteArray("\x29") && nextBlock >= 0) {
            sendBlock();
        } else if (bytes == QByteArray("\x29\x02")) {
            writing = true;
            sendReady();
        }
    }

    void sendBlock()
    {
        const int block = nextBlock++;
        if (block >= protocol::flashBlockCount || block == silentAtBlock)
            return;
        QByteArray blockText = text.mid(protocol::blockOffset(block), 480);
        if (block == surplusAtBlock)
            blockText += '0';
        port.queueInput(block == partialAtBlock ? blockText.left(200) : blockText);
    }

    void sendReady()
    {
        const int block = static_cast<int>(received.size() / protocol::flashBlockBytes);
        if (block != silentAtBlock)
            port.queueInput(ready);
    }

    FakeSerialPort& port;
    QByteArray text;        // the flash as the controller sends it
    QByteArray received;    // data bytes of a write
    QByteArray ready = ">"; // what comes before each block of a write
    bool writing = false;
    int nextBlock = -1;
    int silentAtBlock = -1;  // sends nothing for this block (or its ready byte)
    int partialAtBlock = -1; // sends only 200 characters of this block
    int surplusAtBlock = -1; // sends one character too many with this block
};

} // namespace lumivor::testing
