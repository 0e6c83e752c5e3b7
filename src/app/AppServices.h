#pragma once

class AccountManager;
class CategoryTreeModel;
class Config;
class DBManager;
class SDKManager;
class VideoTableModel;

// The services the application owns, as the main window receives them. Plain references, set
// once; every page and dialog the main window builds gets from it exactly the ones it uses,
// each as its own constructor argument. See docs/services.md.
struct AppServices
{
    Config& config;
    DBManager& db;
    AccountManager& account;
    SDKManager& uploads;
    CategoryTreeModel& categories;
    VideoTableModel& videos;
};
