#!/usr/bin/env python3
"""The Chinese texts of the shell and common widget contexts. Writes (replaces) these
contexts in zh_CN.ts and the common widgets' contexts in widgets.ts; other contexts in the
files are left as they are. Run after changing a text here."""
import os
import re
from xml.sax.saxutils import escape

HERE = os.path.dirname(os.path.abspath(__file__))

TEXTS = {
    "AboutDialog": {
        "AboutDialog.Title": "关于",
        "ApplicationName": "Kavro 上传客户端",
        "Version": "版本",
        "CopyRight": "版权所有",
        "This application is built with Qt, used under the GNU LGPL version 3.":
            "本软件基于 Qt 开发，依据 GNU LGPL 第 3 版使用。",
        "About Qt": "关于 Qt",
        "AboutDialog.Ok": "确定",
        "AboutDialog.Version:": "版本：",
        "AboutDialog.Copyright":
            "Copyright © 2026 Kavro. 保留所有权利。<br/>"
            "<a style='color:#2f6bff;text-decoration:none;' href='https://help.kavro.example/'>帮助中心</a>",
    },
    "AccountItemWidget": {
        "Delete": "删除",
    },
    "LoginDialog": {
        "LoginDialog.Title": "登录",
        "Login.PasswordPlaceHolderText": "请输入密码",
        "Login.RememberPassword": "记住密码",
        "Login.NetworkSettings": "网络设置",
        "Login.LoginButton": "登录",
        "UA": "登录即表示同意《用户服务协议》",
        "error string": "错误信息",
        "Waiting gif": "加载动画",
        "Login.WaitingText": "请稍候…",
        "Login.CancelButton": "取消",
        "Login.AccountPlaceHolderText": "请输入邮箱账号",
        "Login.ClearAllAccount": "清除全部账号记录",
        "Login.Loading": "正在加载…",
        "Login.Logining": "正在登录…",
        "LoginDialog.EmptyAccount": "请输入账号",
        "LoginDialog.EmptyPassword": "请输入密码",
        "LoginDialog.AccountIsNotEmail": "账号格式有误，请输入邮箱地址",
    },
    "MainWindow": {
        "The file has not been uploaded successfully. Are you sure you want to exit?":
            "还有文件未上传完成，确定要退出吗？",
    },
    "MainWindowTitleWidget": {
        "MainWindow.VideoList": "视频列表",
        "MainWindow.TransferList": "传输列表",
        "account": "账号",
        "feedback": "意见反馈",
        "settings": "设置",
        "MainWindow.SwitchAccount": "切换账号",
        "MainWindow.Quit": "退出",
        "MainWindow.StartAll": "全部开始",
        "MainWindow.SuspendAll": "全部暂停",
        "MainWindow.Preferences": "偏好设置",
        "MainWindow.About": "关于",
        "MainWindow.Help": "帮助",
        "MainWindow.Update": "检查更新",
        "%1 (Expired)": "%1（已过期）",
        "%1 (Remaining <span style=color:rgb(255,87,34);>%2</span> days)":
            "%1（剩余 <span style=color:rgb(255,87,34);>%2</span> 天）",
        "Expired Time:": "到期时间：",
    },
    "MsgBox": {
        "OK": "确定",
        "Save": "保存",
        "Save All": "全部保存",
        "Open": "打开",
        "&Yes": "是(&Y)",
        "Yes to &All": "全部是(&A)",
        "&No": "否(&N)",
        "N&o to All": "全部否(&O)",
        "Abort": "中止",
        "Retry": "重试",
        "Ignore": "忽略",
        "Close": "关闭",
        "Cancel": "取消",
        "Discard": "放弃",
        "Help": "帮助",
        "Apply": "应用",
        "Reset": "重置",
        "Restore Defaults": "恢复默认",
        "MsgBox.DefaultTitle": "提示",
    },
    "NetSettingsDialog": {
        "NetSettingsDialog.PlatformAddress:": "平台地址：",
        "NetSettingsDialog.PlatformAddressNotHttps": "平台地址须为 https:// 开头的完整地址",
        "NetSettingsDialog.PlatformUnreachable %1": "无法连接该平台地址：%1",
        "NetSettingsDialog.NetSettings": "网络设置",
        "NetSettingsDialog.Type:": "代理类型：",
        "NetSettingsDialog.NoProxy": "不使用代理",
        "NetSettingsDialog.HttpProxy": "HTTP 代理",
        "NetSettingsDialog.Address:": "地址：",
        "NetSettingsDialog.Port:": "端口：",
        "NetSettingsDialog.Username:": "用户名：",
        "NetSettingsDialog.Password:": "密码：",
        "NetSettingsDialog.NoticeLabel": "代理设置同时用于登录、视频管理和上传",
        "Cancel": "取消",
        "Ok": "确定",
        "NetSettingsDialog.HostIsEmpty!": "请填写代理地址",
    },
    "PreferenceDialog": {
        "PreferenceDialog.Title": "偏好设置",
        "PreferenceDialog.BasicSettings": "基本设置",
        "PreferenceDialog.TransferSettings": "传输设置",
        "PreferenceDialog.BaseSettings": "常规",
        "PreferenceDialog.OpenStartup": "开机时自动启动",
        "PreferenceDialog.AutoUpdate": "自动检查并安装更新",
        "PreferenceDialog.Optimize": "上传时优化画质",
        "PreferenceDialog.MainWindowCloseButtonBehavior": "关闭主面板时",
        "PreferenceDialog.CloseBehaviorHide": "最小化到系统托盘",
        "PreferenceDialog.CloseBehaviorQuit": "退出程序",
        "PreferenceDialog.UploadTasksNumSettings": "同时上传",
        "PreferenceDialog.UploadTasksNum:": "同时上传任务数：",
        "PreferenceDialog.AutoStartUpload": "启动后自动继续未完成的上传",
        "PreferenceDialog.UploadSpeedLimitSettings": "上传限速",
        "PreferenceDialog.UnlimitedSpeed": "不限速",
        "PreferenceDialog.LimitedSpeed": "限制为",
        "KB/s": "KB/s",
        "PreferenceDialog.NetworkProxySettings": "网络代理",
        "PreferenceDialog.Type:": "代理类型：",
        "PreferenceDialog.NoProxy": "不使用代理",
        "PreferenceDialog.HttpProxy": "HTTP 代理",
        "PreferenceDialog.Address:": "地址：",
        "PreferenceDialog.Port:": "端口：",
        "PreferenceDialog.Username:": "用户名：",
        "PreferenceDialog.Password:": "密码：",
        "Apply": "应用",
        "PreferenceDialog.NoticeLabel": "代理设置同时用于登录、视频管理和上传",
        "NetSettingsDialog.HostIsEmpty!": "请填写代理地址",
        "LimitedSpeedValueError": "限速值须在 100 到 102400 KB/s 之间，未保存",
    },
    "TitleBar": {
        "Minimum": "最小化",
        "Maximum": "最大化",
        "Close": "关闭",
        "Restore": "还原",
    },
    "UpdateDialog": {
        "Client Update": "软件更新",
        "Installing the new version...": "正在安装新版本…",
        "The new version is installed. It runs the next time the program starts.":
            "新版本已安装，下次启动程序时生效。",
        "Please install the package from its folder: %1": "请在所在文件夹中安装此安装包：%1",
        "The installer could not run. %1": "安装程序未能运行。%1",
        "Current Version": "当前版本",
        "Checking": "正在检查更新…",
        "Cancel": "取消",
        "Current version": "当前版本",
        "AlreadyNewVersionRemark": "已是最新版本",
        "Ok": "确定",
        "Check failed, please retry": "检查更新失败，请重试",
        "recheck": "重新检查",
        "Has new version": "发现新版本",
        "(Current version %1)": "（当前版本 %1）",
        "Update": "立即更新",
        "Download failed, please retry": "下载失败，请重试",
        "Retry": "重试",
        "Download succeed, install new version right now?": "下载完成，是否立即安装新版本？",
        "Install": "立即安装",
        "Downloading update": "正在下载更新",
        "SystemTip": "提示",
        "There are some uploading tasks. Do you want to exit the application?":
            "还有正在上传的任务，确定要退出程序吗？",
        "Do you want to abort update?": "确定要中止更新吗？",
    },
}

# The contexts of src/ui/common, which widgets.ts carries as well.
COMMON = ["MsgBox", "TitleBar"]


def context_xml(name):
    lines = ["<context>", "    <name>%s</name>" % name]
    for source, translation in TEXTS[name].items():
        lines += ["    <message>",
                  "        <source>%s</source>" % escape(source),
                  "        <translation>%s</translation>" % escape(translation),
                  "    </message>"]
    lines.append("</context>")
    return "\n".join(lines) + "\n"


def update(path, names):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    for name in names:
        block = context_xml(name)
        pattern = re.compile(r"<context>\s*<name>%s</name>.*?</context>\n?" % re.escape(name), re.S)
        if pattern.search(text):
            text = pattern.sub(lambda _: block, text, count=1)
        else:
            text = text.replace("</TS>", block + "</TS>")
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


update(os.path.join(HERE, "zh_CN.ts"), sorted(TEXTS))
update(os.path.join(HERE, "widgets.ts"), COMMON)
