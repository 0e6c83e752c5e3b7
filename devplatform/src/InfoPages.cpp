#include "InfoPages.h"

#include <httplib.h>
#include <string>

namespace {

std::string Page(const char* title, const char* body)
{
    return std::string(
               "<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
               "<title>") +
           title + "</title></head>\n<body><h1>" + title + "</h1>\n" + body + "\n</body></html>\n";
}

void Serve(httplib::Server& server, const char* path, const std::string& html)
{
    server.Get(path, [html](const httplib::Request&, httplib::Response& res) {
        res.status = 200;
        res.set_content(html, "text/html; charset=utf-8");
    });
}

}  // namespace

void InfoPages::Register(httplib::Server& server)
{
    Serve(server, kAgreementPath,
          Page("用户服务协议",
               "<p>本页是本地开发平台的用户服务协议示例页。正式部署的协议由平台提供。</p>"));
    Serve(server, kHelpPath,
          Page("帮助中心", "<p>本页是本地开发平台的帮助示例页：登录、上传与视频管理的说明。</p>"));
    Serve(server, kFeedbackPath, Page("意见反馈", "<p>本页是本地开发平台的意见反馈示例页。</p>"));
}
