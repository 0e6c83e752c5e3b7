#pragma once

#include <QString>

#include "Endpoint.h"

// The video endpoints of a library: list-video, get-video-info, update-info, update-category,
// delete-video, change-cover-image and upload-cover-image.
class VideoEndpoints : public Endpoint
{
public:
    using Endpoint::Endpoint;
    void Register(httplib::Server& server) override;

    static constexpr int kMaxPageSize = 1000;
    static constexpr int kMaxVidsPerRequest = 100;
    static constexpr int kMaxTitleLength = 100;
    static constexpr qint64 kMaxCoverBytes = 5 * 1024 * 1024;

private:
    QString OwnerUserId(qint64 owner) const;

    void HandleList(const httplib::Request& req, httplib::Response& res);
    void HandleInfo(const httplib::Request& req, httplib::Response& res);
    void HandleUpdateInfo(const httplib::Request& req, httplib::Response& res);
    void HandleMove(const httplib::Request& req, httplib::Response& res);
    void HandleDelete(const httplib::Request& req, httplib::Response& res);
    void HandleChangeCover(const httplib::Request& req, httplib::Response& res);
    void HandleUploadCover(const httplib::Request& req, httplib::Response& res);
};
