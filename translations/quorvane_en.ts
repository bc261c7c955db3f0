<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>MainWindow</name>
    <message>
        <source>MainWindow</source>
        <translation>MainWindow</translation>
    </message>
    <message>
        <source>软件设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>通过选择文件夹,导入多个Excel文件路径到编辑框进行批量打印。支持微软Office、WPS专业版。</source>
        <translation>Choose a folder to list its Excel workbooks below and print them all in one run. Microsoft Office and WPS Professional are supported.</translation>
    </message>
    <message>
        <source>选择文件夹</source>
        <translation>Choose folder</translation>
    </message>
    <message>
        <source>可通过修改下列编辑框调整打印顺序：</source>
        <translation>Edit the list below to change the printing order:</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>不打印空表</source>
        <translation>Skip empty sheets</translation>
    </message>
    <message>
        <source>批量打印</source>
        <translation>Print all</translation>
    </message>
    <message>
        <source>打印前设置(打印多个指定名称表可以用||进行分隔,如：Sheet2||Sheet3||Sheet4)</source>
        <translation>Before printing (join several sheet names with ||, as Sheet2||Sheet3||Sheet4)</translation>
    </message>
    <message>
        <source>只打印第一个表</source>
        <translation>First sheet only</translation>
    </message>
    <message>
        <source>只打印指定名称表：</source>
        <translation>Only sheets named:</translation>
    </message>
    <message>
        <source>只打印表中指定区域：</source>
        <translation>Only the cell range:</translation>
    </message>
    <message>
        <source>纸张大小：</source>
        <translation>Paper size:</translation>
    </message>
    <message>
        <source>  打印Sheet表时间间隔(秒)：</source>
        <translation>  Sheet pause (s):</translation>
    </message>
    <message>
        <source>   打印工作簿文件时间间隔(秒)：</source>
        <translation>   Workbook pause (s):</translation>
    </message>
    <message>
        <source>打印到：</source>
        <translation>Print to:</translation>
    </message>
    <message>
        <source>打印前修改(修改会被保存,操作前请先备份excel文件)</source>
        <translation>Change before printing (saved into the files: back the Excel files up first)</translation>
    </message>
    <message>
        <source>页边距(厘米)：</source>
        <translation>Margins (cm):</translation>
    </message>
    <message>
        <source>左：</source>
        <translation>L:</translation>
    </message>
    <message>
        <source>右：</source>
        <translation>R:</translation>
    </message>
    <message>
        <source>上：</source>
        <translation>T:</translation>
    </message>
    <message>
        <source>下：</source>
        <translation>B:</translation>
    </message>
    <message>
        <source>页眉</source>
        <translation>Header</translation>
    </message>
    <message>
        <source>页脚</source>
        <translation>Footer</translation>
    </message>
    <message>
        <source>纸张方向：</source>
        <translation>Orientation:</translation>
    </message>
    <message>
        <source>纵向</source>
        <translation>Portrait</translation>
    </message>
    <message>
        <source>横向</source>
        <translation>Landscape</translation>
    </message>
    <message>
        <source>批量修改</source>
        <translation>Change all</translation>
    </message>
    <message>
        <source>默认</source>
        <translation>Default</translation>
    </message>
    <message>
        <source>选择保存PDF文件的文件夹</source>
        <translation>Choose the folder for the PDF files</translation>
    </message>
    <message>
        <source>文件夹不存在</source>
        <translation>The folder does not exist</translation>
    </message>
    <message>
        <source>打印机“%1”已不存在，请重新选择打印到哪里</source>
        <translation>The printer "%1" is no longer there; choose again where to print to</translation>
    </message>
    <message>
        <source>无法创建PDF文件夹：%1</source>
        <translation>Cannot create the PDF folder: %1</translation>
    </message>
    <message numerus="yes">
        <source>%n个工作簿失败</source>
        <translation><numerusform>%n workbook failed</numerusform><numerusform>%n workbooks failed</numerusform></translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Continue</translation>
    </message>
</context>
<context>
    <name>PrintTargetChoice</name>
    <message>
        <source>PDF 文件夹：%1</source>
        <translation>PDF folder: %1</translation>
    </message>
    <message>
        <source>%1（默认）</source>
        <translation>%1 (default)</translation>
    </message>
    <message>
        <source>默认打印机</source>
        <translation>Default printer</translation>
    </message>
    <message>
        <source>PDF 文件夹...</source>
        <translation>PDF folder...</translation>
    </message>
    <message>
        <source>%1（不可用）</source>
        <translation>%1 (not available)</translation>
    </message>
</context>
<context>
    <name>Quorvane</name>
    <message>
        <source>Usage: Quorvane [-autorun]

Opens the window that prints every spreadsheet workbook (.xls, .xlsx, .xlsm,
.csv) under a folder in one run, and changes the margins and orientation of
all of them in one run.  The work is done by LibreOffice Calc in a hidden
process of its own; printing goes to a printer of the system's, or into PDF
files.

Only one copy runs at a time: starting the program ends a copy already running.

  -autorun    start with only the tray icon when the desktop has a
              notification area
  -lang zh|en the interface language: Chinese or English (without it,
              Chinese on a Chinese system and English elsewhere)
  --help      show this text
  --version   show the version

quorvane-cli runs the same print and page-setup runs without a window.
</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>RunProgress</name>
    <message numerus="yes">
        <source>已打印%n个表</source>
        <translation><numerusform>%n sheet printed</numerusform><numerusform>%n sheets printed</numerusform></translation>
    </message>
    <message numerus="yes">
        <source>已修改%n个表</source>
        <translation><numerusform>%n sheet changed</numerusform><numerusform>%n sheets changed</numerusform></translation>
    </message>
    <message numerus="yes">
        <source>失败%n个</source>
        <translation><numerusform>%n failed</numerusform><numerusform>%n failed</numerusform></translation>
    </message>
    <message>
        <source>用时%1</source>
        <translation>%1 elapsed</translation>
    </message>
    <message>
        <source>剩余约%1</source>
        <translation>about %1 left</translation>
    </message>
    <message>
        <source>，</source>
        <translation>, </translation>
    </message>
</context>
<context>
    <name>RunStatusRow</name>
    <message>
        <source>用失败的工作簿替换打印列表（可撤销）</source>
        <translation>Replace the list with the failed workbooks (undo brings the list back)</translation>
    </message>
    <message numerus="yes">
        <source>重新打印失败的%n个工作簿</source>
        <translation><numerusform>Print the %n failed workbook again</numerusform><numerusform>Print the %n failed workbooks again</numerusform></translation>
    </message>
</context>
<context>
    <name>SystemTray</name>
    <message>
        <source>软件设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>退出程序</source>
        <translation>Quit</translation>
    </message>
</context>
<context>
    <name>biff::BiffWorkbook</name>
    <message>
        <source>The workbook is closed.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>%1 no longer exists.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>%1 is read-only.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>%1 changed after it was opened.</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>biff::BookState</name>
    <message>
        <source>Not an Excel 97-2003 workbook (no compound file).</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>An encrypted Office Open XML workbook.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>An Excel 5.0/95 workbook.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>A compound file without a workbook stream.</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>biff::detail</name>
    <message>
        <source>Cannot create a temporary file beside %1: %2</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Cannot read the permissions of %1.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Cannot write %1 to disk: %2</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Cannot replace %1: %2</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Cannot replace %1.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The position of sheet %1 points to no sheet.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Sheet %1 is not in the Excel 97-2003 format.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Sheet %1 ends before its end record.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>A record of sheet %1 runs past the end of the workbook stream.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The workbook stream is empty or cut short.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The workbook stream does not start with a BOF record.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The workbook is in an Excel format older than Excel 97.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The workbook stream does not start with the workbook globals.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The workbook globals end before their end record.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>A record runs past the end of the workbook stream.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The workbook is encrypted.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>A sheet record is too short.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>A sheet name runs past its record.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>A page margin must be from 0 to less than 49 inches.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The orientation must be portrait (1) or landscape (2).</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The paper size code must be from 1 to 65535.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Only a worksheet's page setup can be changed.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>A margin record of sheet %1 has the wrong size.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Sheet %1 has no page settings block.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The SETUP record of sheet %1 is too short.</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>biff::detail::CompoundFile</name>
    <message>
        <source>A sector chain of the compound file is broken.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>A stream of the compound file is shorter than its size.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>A stream of the compound file runs past the end of the file.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>No such stream in the compound file.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The workbook is too large for a compound file.</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>cli</name>
    <message>
        <source>%1: %2</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>unknown language %1 (use zh or en)</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>no report file given</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>%1 is not a number of copies from 1 to 999</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>%1 is not a number of spreadsheet programs from 1 to 64</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>unknown duplex mode %1 (use none, long or short)</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>no sheet name given</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>no list file given</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>no cell range given</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>%1 may hold only letters, digits and ":" (as A1:H20)</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>unknown paper size %1 (use A3, A4, A5, B4, B5 or default)</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>%1 is not a whole number of seconds from 0 to 900</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>no printer name given</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>no folder given</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>unknown orientation %1 (use portrait or landscape)</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>%1 is not a margin from 0 to 99.99 cm with at most two decimals</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>%1: unknown option</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>%1: value missing</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>%1: takes no value</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>no command given (use print or page-setup; see --help)</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>unknown command %1 (use print or page-setup; see --help)</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>FOLDER: no folder given</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>%1: unexpected argument</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>%1: only for the print command</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>%1: only for the page-setup command</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>--pdf: cannot be combined with --printer</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>%1: cannot be combined with --pdf</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Usage: quorvane-cli print FOLDER [options]
  or:  quorvane-cli page-setup FOLDER [options]

Commands:
  print       prints every workbook (.xls, .xlsx, .xlsm, .csv) under FOLDER and its
              subfolders, in the order the window's list shows them.
  page-setup  changes margins and orientation of every workbook under FOLDER and
              saves each one in place (make a backup first).

Workbooks that cannot be opened are listed in FOLDER/无法打印的文件目录.txt.

Options for both commands:
  --no-skip-empty       also handle empty sheets (skipped by default)
  --first-sheet         only the first sheet of each workbook
  --sheets NAMES        only sheets with these exact names, joined by "||"
                        (as Sheet2||Sheet3)
  --quiet               no progress lines; errors only on standard error
  --report FILE         write a CSV file with one row per workbook: path,
                        outcome (done, failed, skipped), sheets, pages, reason
  --dry-run             open every workbook as the run would, print or change
                        nothing, and tell what the run would do
  --lang zh|en          language of the messages: Chinese or English (default:
                        Chinese on a Chinese system, English elsewhere)
  -h, --help            show this text
  --version             show the program's version

Options for print:
  --list FILE           print the workbooks listed in FILE (one path per line,
                        in order) instead of walking FOLDER; a failure list of an
                        earlier run can be given here
  --range RANGE         print only this cell range of each sheet (as A1:H20)
  --paper SIZE          A3, A4, A5, B4 or B5; default keeps each sheet's own
  --sheet-delay N       wait N seconds between sheets (0 to 900, default 0)
  --workbook-delay N    wait N seconds between workbooks (0 to 900, default 0)
  --printer NAME        print to this printer instead of the default one
  --pdf DIR             write each printout as a PDF file into DIR instead
                        ("&lt;workbook&gt; - &lt;sheet&gt;.pdf"; DIR is created if missing)
  --copies N            print N copies of each sheet (1 to 999)
  --collate             collate the copies
  --duplex MODE         none, long or short (edge), where the printer can
  --jobs N              spreadsheet programs working side by side, each on a
                        workbook of its own (1 to 64, at most one per processor
                        core; default one per core); the pages still come out
                        in the order of the list; 1 goes through the workbooks
                        one by one
  With --dry-run: one line per sheet that would be printed (workbook, sheet,
  pages on the chosen paper and printer) and a total.

Options for page-setup (each given margin is changed, the others are kept):
  --left CM, --right CM, --top CM, --bottom CM, --header CM, --footer CM
                        margins in centimetres, 0 to 99.99, at most two decimals
  --orientation portrait|landscape
  With --dry-run: one line per sheet that would change (workbook, sheet, the
  present values and the new ones); no file is written.

Progress goes to standard error, the final report to standard output.
Ctrl-C stops the run after closing the open workbook and the spreadsheet program.

Exit status: 0 every workbook done, 1 some workbooks failed (or the range was
invalid), 2 bad usage, 3 no usable spreadsheet program, 130 interrupted.
</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>1 workbook</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>%1 workbooks</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>FOLDER: "%1" is not an existing folder</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>--list: cannot read "%1"</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>--report: cannot write "%1" (no such folder, or a folder)</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>--printer: cannot list the system's printers: %1</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>none is set up</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>--printer: unknown printer "%1"; known printers: %2</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>--pdf: cannot create the folder "%1"</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>landscape</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>portrait</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>left</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>right</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>top</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>bottom</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>header</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>footer</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>%1 %2 -&gt; %3 cm</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>orientation %1 -&gt; %2</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>nothing to change</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>, </source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>%1 pages</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>%1 workbooks, %2 sheets, %3 pages</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>%1 workbooks, %2 sheets would change</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>--report: cannot write "%1": %2</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>%1 could not be opened; listed in %2</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>interrupted again, ending the spreadsheet program at once</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>ooxml</name>
    <message>
        <source>Cannot read %1: %2</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Cannot read the permissions of %1.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Cannot set the permissions of %1.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Cannot write %1 to disk.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Cannot replace %1.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Sheet %1: %2</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>%1 does not exist.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>%1 is not a file.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>%1 is read-only.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>%1 is not a readable workbook package: %2</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The workbook has no sheet named %1.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The part of sheet %1 cannot be found.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Cannot create a temporary file beside %1: %2</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>%1 changed while it was being updated.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Cannot update %1: %2</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The sheet part is not well-formed XML.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The sheet part carries a document type declaration, which workbook parts may not have.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>A page margin must be a number of zero or more.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The orientation must be portrait (1) or landscape (2).</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The paper size code must be a positive number.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The sheet part is not UTF-8 encoded, which is not supported.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The part is not a worksheet, chart sheet, dialog sheet or macro sheet.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The sheet part is empty.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The sheet part holds more than one %1 element.</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>ooxml::detail</name>
    <message>
        <source>Cannot read %1 in the workbook: %2</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>%1 in the workbook is too large.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The workbook has no part %1.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The workbook part %1 cannot be read.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The relationships of %1 cannot be read.</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>runs</name>
    <message>
        <source>成功打印</source>
        <translation>Printed</translation>
    </message>
    <message>
        <source>成功修改</source>
        <translation>Changed</translation>
    </message>
    <message>
        <source>成功打印%1个工作簿的%2个sheet。耗时%3秒。</source>
        <translation>Printed %2 sheets of %1 workbooks in %3 s.</translation>
    </message>
    <message>
        <source>成功修改%1个工作簿的%2个sheet。耗时%3秒。</source>
        <translation>Changed %2 sheets of %1 workbooks in %3 s.</translation>
    </message>
    <message>
        <source>文件不存在</source>
        <translation>no such file</translation>
    </message>
    <message>
        <source>无法打开</source>
        <translation>cannot be opened</translation>
    </message>
    <message>
        <source>文件受密码保护</source>
        <translation>protected by a password</translation>
    </message>
    <message>
        <source>文件已损坏或不是工作簿</source>
        <translation>damaged, or not a workbook</translation>
    </message>
    <message>
        <source>不支持的文件格式</source>
        <translation>a file format that is not supported</translation>
    </message>
    <message>
        <source>电子表格程序处理此文件时崩溃</source>
        <translation>the spreadsheet program crashed on it</translation>
    </message>
    <message>
        <source>电子表格程序处理此文件时停止响应</source>
        <translation>the spreadsheet program stopped answering on it</translation>
    </message>
    <message>
        <source>打印系统拒绝了打印任务</source>
        <translation>the print system refused the job</translation>
    </message>
    <message>
        <source>文件为只读</source>
        <translation>read-only</translation>
    </message>
    <message>
        <source>文件已在其他程序中打开</source>
        <translation>open in another program</translation>
    </message>
    <message>
        <source>保存失败</source>
        <translation>saving failed</translation>
    </message>
    <message>
        <source>无法修改页面设置</source>
        <translation>the page setup cannot be changed</translation>
    </message>
    <message>
        <source>无法读取工作表</source>
        <translation>its sheets cannot be read</translation>
    </message>
    <message>
        <source>（%1）</source>
        <translation> (%1)</translation>
    </message>
    <message>
        <source>excel OK!</source>
        <translation>excel OK!</translation>
    </message>
    <message>
        <source>WorkBooks OK!</source>
        <translation>WorkBooks OK!</translation>
    </message>
    <message>
        <source>本功能需要电脑中装有微软office或金山wps专业版(注意是专业版,不是个人版)!</source>
        <translation>This needs a spreadsheet program on the computer: Microsoft Office or Kingsoft WPS Professional (the professional edition, not the personal one)!</translation>
    </message>
    <message>
        <source>工作簿文件延时:%1秒!</source>
        <translation>Waiting %1 s before the next workbook!</translation>
    </message>
    <message>
        <source>Sheet表延时:%1秒!</source>
        <translation>Waiting %1 s before the next sheet!</translation>
    </message>
    <message>
        <source>此文件指定区域无效,请重新设置!%1</source>
        <translation>The cell range is not valid for this file, set it again! %1</translation>
    </message>
    <message>
        <source>电子表格程序已停止响应,运行已结束。</source>
        <translation>The spreadsheet program stopped answering; the run has ended.</translation>
    </message>
    <message>
        <source>已停止</source>
        <translation>Stopped</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>电子表格程序无法启动</source>
        <translation>the spreadsheet program cannot be started</translation>
    </message>
</context>
</TS>