#pragma once
#include <QList>
#include <QUrl>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestInterceptor>

/// Notes every web request the view makes and lets none of them out.
class WebStop : public QWebEngineUrlRequestInterceptor {
public:
    QList<QUrl> requested;
    void interceptRequest(QWebEngineUrlRequestInfo &info) override {
        const QString scheme = info.requestUrl().scheme();
        if (scheme == QLatin1String("http") || scheme == QLatin1String("https")) {
            requested.append(info.requestUrl());
            info.block(true);
        }
    }
};
