<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Application</name>
    <message>
        <source>KavroUploadClient</source>
        <translation>Kavro 上传客户端</translation>
    </message>
</context>
</TS>
