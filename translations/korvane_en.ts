<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ru">
<context>
    <name>core</name>
    <message>
        <source>HTTPS и порты в адресах</source>
        <translation>HTTPS and ports in addresses</translation>
    </message>
    <message>
        <source>не проверять сертификаты</source>
        <translation>don&apos;t verify certificates</translation>
    </message>
    <message>
        <source>следовать перенаправлениям</source>
        <translation>follow redirects</translation>
    </message>
    <message>
        <source>перекодировать страницы в cp1251</source>
        <translation>recode pages to cp1251</translation>
    </message>
    <message>
        <source>соблюдать robots.txt</source>
        <translation>obey robots.txt</translation>
    </message>
    <message>
        <source>продолжить прошлый обход</source>
        <translation>continue the last crawl</translation>
    </message>
    <message>
        <source>читать sitemap.xml</source>
        <translation>read sitemap.xml</translation>
    </message>
    <message>
        <source>принимать сжатые ответы</source>
        <translation>accept compressed answers</translation>
    </message>
    <message>
        <source>повторять при 429 и 503</source>
        <translation>retry on 429 and 503</translation>
    </message>
    <message>
        <source>ссылки как в браузере</source>
        <translation>links as a browser reads them</translation>
    </message>
    <message>
        <source>основной текст в Markdown</source>
        <translation>main text as Markdown</translation>
    </message>
    <message>
        <source>сохранять в UTF-8</source>
        <translation>save in UTF-8</translation>
    </message>
    <message>
        <source>паспорт страницы: pages.jsonl</source>
        <translation>page record: pages.jsonl</translation>
    </message>
    <message>
        <source>только основной текст</source>
        <translation>main text only</translation>
    </message>
    <message>
        <source>не сохранять дубли текста</source>
        <translation>don&apos;t save repeated texts</translation>
    </message>
    <message>
        <source>писать отчёт об обходе</source>
        <translation>write a crawl report</translation>
    </message>
    <message>
        <source>пауза между запросами, мс</source>
        <translation>pause between requests, ms</translation>
    </message>
    <message>
        <source>не больше страниц</source>
        <translation>page limit</translation>
    </message>
    <message>
        <source>сохранено</source>
        <translation>saved</translation>
    </message>
    <message>
        <source>сохранено пустыми</source>
        <translation>saved empty</translation>
    </message>
    <message>
        <source>не допущено</source>
        <translation>not admitted</translation>
    </message>
    <message>
        <source>только ссылки</source>
        <translation>links only</translation>
    </message>
    <message>
        <source>дубли</source>
        <translation>duplicates</translation>
    </message>
    <message>
        <source>не удалось</source>
        <translation>failed</translation>
    </message>
    <message>
        <source>нет сокета</source>
        <translation>no socket</translation>
    </message>
    <message>
        <source>хост не найден</source>
        <translation>host not found</translation>
    </message>
    <message>
        <source>соединение отвергнуто</source>
        <translation>connection refused</translation>
    </message>
    <message>
        <source>соединение не удалось</source>
        <translation>connection failed</translation>
    </message>
    <message>
        <source>тайм-аут (соединение)</source>
        <translation>time-out (connect)</translation>
    </message>
    <message>
        <source>тайм-аут (нет данных)</source>
        <translation>time-out (no data)</translation>
    </message>
    <message>
        <source>тайм-аут (весь обмен)</source>
        <translation>time-out (whole exchange)</translation>
    </message>
    <message>
        <source>ответ обрезан по лимиту</source>
        <translation>answer cut at the size cap</translation>
    </message>
    <message>
        <source>соединение сброшено</source>
        <translation>connection reset</translation>
    </message>
    <message>
        <source>прервано</source>
        <translation>cancelled</translation>
    </message>
    <message>
        <source>TLS отвергнут</source>
        <translation>TLS refused</translation>
    </message>
    <message>
        <source>прокси отказал</source>
        <translation>proxy refused</translation>
    </message>
    <message>
        <source>нет соединения</source>
        <translation>no connection</translation>
    </message>
    <message>
        <source>испорченный сжатый ответ</source>
        <translation>corrupt compressed answer</translation>
    </message>
    <message>
        <source>пустой ответ</source>
        <translation>empty answer</translation>
    </message>
    <message>
        <source>не записать файл результата</source>
        <translation>result file not written</translation>
    </message>
    <message>
        <source>снят сторожем</source>
        <translation>ended by the watchdog</translation>
    </message>
    <message>
        <source>прокси: </source>
        <translation>proxies: </translation>
    </message>
    <message>
        <source>Урлов: </source>
        <translation>URLs queued: </translation>
    </message>
    <message>
        <source>Убито потоков: </source>
        <translation>Threads killed: </translation>
    </message>
    <message>
        <source>дублей: </source>
        <translation>duplicates: </translation>
    </message>
    <message>
        <source>Не задано шаблонов для селективного парсинга</source>
        <translation>No templates are set for selective parsing</translation>
    </message>
    <message>
        <source>Для селективного парсинга нужен хотя бы 1 блок</source>
        <translation>Selective parsing needs at least 1 block</translation>
    </message>
    <message>
        <source>id</source>
        <translation>id</translation>
    </message>
    <message>
        <source>state</source>
        <translation>state</translation>
    </message>
    <message>
        <source>worktime</source>
        <translation>worktime</translation>
    </message>
    <message>
        <source>Тестовый запрос завершился, не записав результат &quot;SelectiveParseTest/test.txt&quot;</source>
        <translation>The test request ended without writing its result &quot;SelectiveParseTest/test.txt&quot;</translation>
    </message>
    <message>
        <source>Статус: </source>
        <translation>Status: </translation>
    </message>
    <message>
        <source>Прогресс: </source>
        <translation>Progress: </translation>
    </message>
    <message>
        <source> завершено</source>
        <translation> done</translation>
    </message>
    <message>
        <source> Все!</source>
        <translation> All done!</translation>
    </message>
    <message>
        <source>, дублей: </source>
        <translation>, duplicates: </translation>
    </message>
    <message>
        <source>Файлов нет!</source>
        <translation>No files!</translation>
    </message>
</context>
<context>
    <name>korvane::ReportTab</name>
    <message>
        <source>страниц в секунду</source>
        <translation>pages per second</translation>
    </message>
    <message>
        <source>активных потоков</source>
        <translation>active threads</translation>
    </message>
    <message>
        <source>график обхода</source>
        <translation>crawl chart</translation>
    </message>
    <message>
        <source>открыть отчёт</source>
        <translation>open the report</translation>
    </message>
</context>
<context>
    <name>korvane::TForm1</name>
    <message>
        <source>Настройки</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Black n White</source>
        <translation>Black n White</translation>
    </message>
    <message>
        <source>Фильтр результатов</source>
        <translation>Result filter</translation>
    </message>
    <message>
        <source>TextJoiner</source>
        <translation>TextJoiner</translation>
    </message>
    <message>
        <source>TextCleaner</source>
        <translation>TextCleaner</translation>
    </message>
    <message>
        <source>PathMaker</source>
        <translation>PathMaker</translation>
    </message>
    <message>
        <source>Сеть</source>
        <translation>Network</translation>
    </message>
    <message>
        <source>Текст</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>Отчёт</source>
        <translation>Report</translation>
    </message>
    <message>
        <source>Центр управления полетами</source>
        <translation>Crawl control panel</translation>
    </message>
    <message>
        <source>сайт:</source>
        <translation>site:</translation>
    </message>
    <message>
        <source>потоки</source>
        <translation>threads</translation>
    </message>
    <message>
        <source>timeout, sec</source>
        <translation>timeout, sec</translation>
    </message>
    <message>
        <source>START</source>
        <translation>START</translation>
    </message>
    <message>
        <source>STOP</source>
        <translation>STOP</translation>
    </message>
    <message>
        <source>HALT</source>
        <translation>HALT</translation>
    </message>
    <message>
        <source>Как парсить?</source>
        <translation>How to parse?</translation>
    </message>
    <message>
        <source>парсить только походящие под шаблон страницы (игнор вайлиста)</source>
        <translation>parse only pages that match the templates (whitelist ignored)</translation>
    </message>
    <message>
        <source>текстовые выборки</source>
        <translation>text selections</translation>
    </message>
    <message>
        <source>&apos; = &quot;</source>
        <translation>&apos; = &quot;</translation>
    </message>
    <message>
        <source>собирать только ссылки</source>
        <translation>collect links only</translation>
    </message>
    <message>
        <source>игнорить вайтлист</source>
        <translation>ignore the whitelist</translation>
    </message>
    <message>
        <source>селективный парсинг</source>
        <translation>selective parsing</translation>
    </message>
    <message>
        <source>исключать поддомены</source>
        <translation>skip subdomains</translation>
    </message>
    <message>
        <source>Относительная адресация (надо тестить)</source>
        <translation>Relative addressing (needs testing)</translation>
    </message>
    <message>
        <source>Юзать прокси (HTTP only)</source>
        <translation>Use proxies (HTTP only)</translation>
    </message>
    <message>
        <source>расширенный формат ссылок</source>
        <translation>extended link format</translation>
    </message>
    <message>
        <source>SelectiveParse</source>
        <translation>SelectiveParse</translation>
    </message>
    <message>
        <source>Блэклист (сюда ходить не надо): </source>
        <translation>Blacklist (never go here): </translation>
    </message>
    <message>
        <source>Вайтлист (парсить текст только здесь):</source>
        <translation>Whitelist (save text only from here):</translation>
    </message>
    <message>
        <source>Удаляем файлы, размер которых меньше заданного</source>
        <translation>Deletes the files smaller than the given size</translation>
    </message>
    <message>
        <source>Папка с файлами</source>
        <translation>Folder with the files</translation>
    </message>
    <message>
        <source>Размер, не менее</source>
        <translation>Size at least</translation>
    </message>
    <message>
        <source>байт</source>
        <translation>bytes</translation>
    </message>
    <message>
        <source>Вперед</source>
        <translation>Go</translation>
    </message>
    <message>
        <source>Статус: ready</source>
        <translation>Status: ready</translation>
    </message>
    <message>
        <source>Объединение результатов парсинга в один файл</source>
        <translation>Joins the parsing results into one file</translation>
    </message>
    <message>
        <source>Объединить в файл</source>
        <translation>Join into file</translation>
    </message>
    <message>
        <source>Разделитель</source>
        <translation>Separator</translation>
    </message>
    <message>
        <source>Прогресс: 0/0</source>
        <translation>Progress: 0/0</translation>
    </message>
    <message>
        <source>папка с файлами</source>
        <translation>folder with the files</translation>
    </message>
    <message>
        <source>чистка &quot;от и до&quot;</source>
        <translation>cut &quot;from ... to&quot;</translation>
    </message>
    <message>
        <source>начало</source>
        <translation>start</translation>
    </message>
    <message>
        <source>конец</source>
        <translation>end</translation>
    </message>
    <message>
        <source>го</source>
        <translation>go</translation>
    </message>
    <message>
        <source>Прогресс:</source>
        <translation>Progress:</translation>
    </message>
    <message>
        <source>конкретные символы/слова</source>
        <translation>particular characters/words</translation>
    </message>
    <message>
        <source>что удалить?</source>
        <translation>what to delete?</translation>
    </message>
    <message>
        <source>сколько файлов в впапке</source>
        <translation>files per folder</translation>
    </message>
    <message>
        <source>дублей: 0</source>
        <translation>duplicates: 0</translation>
    </message>
    <message>
        <source>убрать дубли</source>
        <translation>remove duplicates</translation>
    </message>
    <message>
        <source>из папки на странице &quot;Фильтр результатов&quot;</source>
        <translation>from the folder on the &quot;Result filter&quot; page</translation>
    </message>
    <message>
        <source>Стата</source>
        <translation>Stats</translation>
    </message>
    <message>
        <source>активных потоков:</source>
        <translation>active threads:</translation>
    </message>
    <message>
        <source>пропарсено урлов:</source>
        <translation>URLs parsed:</translation>
    </message>
    <message>
        <source>урлов: 0</source>
        <translation>URLs queued: 0</translation>
    </message>
    <message>
        <source>убито потоков: 0</source>
        <translation>threads killed: 0</translation>
    </message>
    <message>
        <source>прокси: 0</source>
        <translation>proxies: 0</translation>
    </message>
    <message>
        <source>Монитор потоков</source>
        <translation>Thread monitor</translation>
    </message>
    <message>
        <source>вкл/откл</source>
        <translation>on/off</translation>
    </message>
    <message>
        <source>Обновление:</source>
        <translation>Update:</translation>
    </message>
    <message>
        <source>посетить сайт программы </source>
        <translation>visit the program&apos;s site </translation>
    </message>
    <message>
        <source>Монитор потоков отключен</source>
        <translation>Thread monitor is off</translation>
    </message>
</context>
<context>
    <name>korvane::TForm2</name>
    <message>
        <source>SelectiveParse Settings</source>
        <translation>SelectiveParse Settings</translation>
    </message>
    <message>
        <source>add new block</source>
        <translation>add new block</translation>
    </message>
    <message>
        <source>save</source>
        <translation>save</translation>
    </message>
    <message>
        <source>test  &gt;&gt;&gt;</source>
        <translation>test  &gt;&gt;&gt;</translation>
    </message>
    <message>
        <source>URL</source>
        <translation>URL</translation>
    </message>
    <message>
        <source>размечать результаты парсинга</source>
        <translation>mark up the parsing results</translation>
    </message>
    <message>
        <source>сохранять тэг &lt;br&gt;</source>
        <translation>keep the &lt;br&gt; tag</translation>
    </message>
    <message>
        <source>Элементарная чистка</source>
        <translation>Basic cleaning</translation>
    </message>
    <message>
        <source>templates</source>
        <translation>templates</translation>
    </message>
</context>
</TS>
