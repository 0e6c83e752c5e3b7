#pragma once

#include <QString>

#include "Endpoint.h"

// GET /files/<path>: thumbnails, covers, snapshots and the offered installer. A video's
// stand-in pictures are drawn on first request and kept; anything else missing is 404.
class FileHost : public Endpoint
{
public:
    using Endpoint::Endpoint;
    void Register(httplib::Server& server) override;

    static constexpr char kInstallerPrefix[] = "installer/";

private:
    // Draws and stores the picture at relative, when it belongs to a video that has one.
    bool DrawPicture(const QString& relative, const QString& path) const;
};
