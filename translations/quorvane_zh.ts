<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>MainWindow</name>
    <message>
        <source>MainWindow</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>软件设置</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>通过选择文件夹,导入多个Excel文件路径到编辑框进行批量打印。支持微软Office、WPS专业版。</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>选择文件夹</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>可通过修改下列编辑框调整打印顺序：</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>暂停</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>停止</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>不打印空表</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>批量打印</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>打印前设置(打印多个指定名称表可以用||进行分隔,如：Sheet2||Sheet3||Sheet4)</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>只打印第一个表</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>只打印指定名称表：</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>只打印表中指定区域：</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>纸张大小：</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>  打印Sheet表时间间隔(秒)：</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>   打印工作簿文件时间间隔(秒)：</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>打印到：</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>打印前修改(修改会被保存,操作前请先备份excel文件)</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>页边距(厘米)：</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>左：</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>右：</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>上：</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>下：</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>页眉</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>页脚</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>纸张方向：</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>纵向</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>横向</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>批量修改</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>默认</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>选择保存PDF文件的文件夹</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>文件夹不存在</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>打印机“%1”已不存在，请重新选择打印到哪里</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>无法创建PDF文件夹：%1</source>
        <translation type="unfinished" />
    </message>
    <message numerus="yes">
        <source>%n个工作簿失败</source>
        <translation type="unfinished">
            <numerusform />
        </translation>
    </message>
    <message>
        <source>继续</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>PrintTargetChoice</name>
    <message>
        <source>PDF 文件夹：%1</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>%1（默认）</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>默认打印机</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>PDF 文件夹...</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>%1（不可用）</source>
        <translation type="unfinished" />
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
        <translation>用法：Quorvane [-autorun]

打开窗口：一次打印一个文件夹下的所有电子表格工作簿（.xls、.xlsx、.xlsm、
.csv），或一次修改它们的页边距和纸张方向。工作由 LibreOffice Calc 在自己的
隐藏进程中完成；打印到系统的打印机，或输出为 PDF 文件。

同一时间只运行一份：启动本程序会结束已在运行的那一份。

  -autorun    桌面有通知区域时，启动后只显示托盘图标
  -lang zh|en 界面语言：中文或英文（不指定时，中文系统用中文，其他系统用英文）
  --help      显示本说明
  --version   显示版本

quorvane-cli 不用窗口执行同样的批量打印和批量修改。
</translation>
    </message>
</context>
<context>
    <name>RunProgress</name>
    <message numerus="yes">
        <source>已打印%n个表</source>
        <translation type="unfinished">
            <numerusform />
        </translation>
    </message>
    <message numerus="yes">
        <source>已修改%n个表</source>
        <translation type="unfinished">
            <numerusform />
        </translation>
    </message>
    <message numerus="yes">
        <source>失败%n个</source>
        <translation type="unfinished">
            <numerusform />
        </translation>
    </message>
    <message>
        <source>用时%1</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>剩余约%1</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>，</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>RunStatusRow</name>
    <message>
        <source>用失败的工作簿替换打印列表（可撤销）</source>
        <translation type="unfinished" />
    </message>
    <message numerus="yes">
        <source>重新打印失败的%n个工作簿</source>
        <translation type="unfinished">
            <numerusform />
        </translation>
    </message>
</context>
<context>
    <name>SystemTray</name>
    <message>
        <source>软件设置</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>退出程序</source>
        <translation type="unfinished" />
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
        <translation type="unfinished">%1 是只读的。</translation>
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
        <translation type="unfinished">无法在 %1 旁边创建临时文件：%2</translation>
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation type="unfinished">无法写入 %1：%2</translation>
    </message>
    <message>
        <source>Cannot read the permissions of %1.</source>
        <translation type="unfinished">无法读取 %1 的权限。</translation>
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
        <translation type="unfinished">无法替换 %1。</translation>
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
        <translation type="unfinished">纸张方向必须是纵向（1）或横向（2）。</translation>
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
        <translation>%1：%2</translation>
    </message>
    <message>
        <source>unknown language %1 (use zh or en)</source>
        <translation>未知的语言 %1（可用 zh 或 en）</translation>
    </message>
    <message>
        <source>no report file given</source>
        <translation>未给出报告文件</translation>
    </message>
    <message>
        <source>%1 is not a number of copies from 1 to 999</source>
        <translation>%1 不是 1 到 999 之间的份数</translation>
    </message>
    <message>
        <source>%1 is not a number of spreadsheet programs from 1 to 64</source>
        <translation>%1 不是 1 到 64 之间的电子表格程序个数</translation>
    </message>
    <message>
        <source>unknown duplex mode %1 (use none, long or short)</source>
        <translation>未知的双面方式 %1（可用 none、long 或 short）</translation>
    </message>
    <message>
        <source>no sheet name given</source>
        <translation>未给出工作表名称</translation>
    </message>
    <message>
        <source>no list file given</source>
        <translation>未给出列表文件</translation>
    </message>
    <message>
        <source>no cell range given</source>
        <translation>未给出单元格区域</translation>
    </message>
    <message>
        <source>%1 may hold only letters, digits and ":" (as A1:H20)</source>
        <translation>%1 只能包含字母、数字和“:”（如 A1:H20）</translation>
    </message>
    <message>
        <source>unknown paper size %1 (use A3, A4, A5, B4, B5 or default)</source>
        <translation>未知的纸张大小 %1（可用 A3、A4、A5、B4、B5 或 default）</translation>
    </message>
    <message>
        <source>%1 is not a whole number of seconds from 0 to 900</source>
        <translation>%1 不是 0 到 900 之间的整数秒</translation>
    </message>
    <message>
        <source>no printer name given</source>
        <translation>未给出打印机名称</translation>
    </message>
    <message>
        <source>no folder given</source>
        <translation>未给出文件夹</translation>
    </message>
    <message>
        <source>unknown orientation %1 (use portrait or landscape)</source>
        <translation>未知的纸张方向 %1（可用 portrait 或 landscape）</translation>
    </message>
    <message>
        <source>%1 is not a margin from 0 to 99.99 cm with at most two decimals</source>
        <translation>%1 不是 0 到 99.99 厘米之间、最多两位小数的边距</translation>
    </message>
    <message>
        <source>%1: unknown option</source>
        <translation>%1：未知的选项</translation>
    </message>
    <message>
        <source>%1: value missing</source>
        <translation>%1：缺少值</translation>
    </message>
    <message>
        <source>%1: takes no value</source>
        <translation>%1：不接受值</translation>
    </message>
    <message>
        <source>no command given (use print or page-setup; see --help)</source>
        <translation>未给出命令（可用 print 或 page-setup；见 --help）</translation>
    </message>
    <message>
        <source>unknown command %1 (use print or page-setup; see --help)</source>
        <translation>未知的命令 %1（可用 print 或 page-setup；见 --help）</translation>
    </message>
    <message>
        <source>FOLDER: no folder given</source>
        <translation>FOLDER：未给出文件夹</translation>
    </message>
    <message>
        <source>%1: unexpected argument</source>
        <translation>%1：多余的参数</translation>
    </message>
    <message>
        <source>%1: only for the print command</source>
        <translation>%1：只用于 print 命令</translation>
    </message>
    <message>
        <source>%1: only for the page-setup command</source>
        <translation>%1：只用于 page-setup 命令</translation>
    </message>
    <message>
        <source>--pdf: cannot be combined with --printer</source>
        <translation>--pdf：不能与 --printer 同时使用</translation>
    </message>
    <message>
        <source>%1: cannot be combined with --pdf</source>
        <translation>%1：不能与 --pdf 同时使用</translation>
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
        <translation>用法：quorvane-cli print FOLDER [选项]
  或：quorvane-cli page-setup FOLDER [选项]

命令：
  print       按窗口列表中的顺序，打印 FOLDER 及其子文件夹下的每个工作簿
              （.xls、.xlsx、.xlsm、.csv）。
  page-setup  修改 FOLDER 下每个工作簿的页边距和纸张方向，并保存在原处
              （请先备份）。

无法打开的工作簿列在 FOLDER/无法打印的文件目录.txt 中。

两个命令共用的选项：
  --no-skip-empty       空表也处理（默认跳过）
  --first-sheet         每个工作簿只处理第一个表
  --sheets NAMES        只处理这些名称的表，名称之间用“||”连接
                        （如 Sheet2||Sheet3）
  --quiet               不显示进度；标准错误上只显示错误
  --report FILE         写出 CSV 文件，每个工作簿一行：路径、
                        结果（done、failed、skipped）、表数、页数、原因
  --dry-run             像运行时一样打开每个工作簿，但不打印也不修改，
                        只说明运行会做什么
  --lang zh|en          信息的语言：中文或英文（默认：中文系统用中文，
                        其他系统用英文）
  -h, --help            显示本说明
  --version             显示程序版本

print 的选项：
  --list FILE           打印 FILE 中列出的工作簿（每行一个路径，按顺序），
                        而不遍历 FOLDER；可以给出上次运行的失败列表
  --range RANGE         每个表只打印这个单元格区域（如 A1:H20）
  --paper SIZE          A3、A4、A5、B4 或 B5；default 保持每个表自己的纸张
  --sheet-delay N       表与表之间等待 N 秒（0 到 900，默认 0）
  --workbook-delay N    工作簿之间等待 N 秒（0 到 900，默认 0）
  --printer NAME        打印到这台打印机，而不是默认打印机
  --pdf DIR             不打印，而是把每次打印写成 DIR 中的一个 PDF 文件
                        （“&lt;工作簿&gt; - &lt;表&gt;.pdf”；DIR 不存在时会创建）
  --copies N            每个表打印 N 份（1 到 999）
  --collate             逐份打印
  --duplex MODE         none、long 或 short（翻转边），打印机支持时
  --jobs N              同时工作的电子表格程序个数，每个处理各自的工作簿
                        （1 到 64，最多每个处理器核心一个；默认每个核心一个）；
                        打印出的页仍按列表顺序；1 表示逐个处理工作簿
  与 --dry-run 一起：每个将要打印的表一行（工作簿、表、
  按所选纸张和打印机计算的页数），最后一行是合计。

page-setup 的选项（只修改给出的边距，其他保持不变）：
  --left CM, --right CM, --top CM, --bottom CM, --header CM, --footer CM
                        以厘米为单位的边距，0 到 99.99，最多两位小数
  --orientation portrait|landscape
  与 --dry-run 一起：每个将要修改的表一行（工作簿、表、
  现在的值和新值）；不写任何文件。

进度写到标准错误，最终报告写到标准输出。
Ctrl-C 会在关闭打开的工作簿和电子表格程序后停止运行。

退出状态：0 所有工作簿完成，1 有工作簿失败（或区域无效），
2 用法错误，3 没有可用的电子表格程序，130 被中断。
</translation>
    </message>
    <message>
        <source>1 workbook</source>
        <translation>1 个工作簿</translation>
    </message>
    <message>
        <source>%1 workbooks</source>
        <translation>%1 个工作簿</translation>
    </message>
    <message>
        <source>FOLDER: "%1" is not an existing folder</source>
        <translation>FOLDER：“%1”不是已有的文件夹</translation>
    </message>
    <message>
        <source>--list: cannot read "%1"</source>
        <translation>--list：无法读取“%1”</translation>
    </message>
    <message>
        <source>--report: cannot write "%1" (no such folder, or a folder)</source>
        <translation>--report：无法写入“%1”（文件夹不存在，或它是文件夹）</translation>
    </message>
    <message>
        <source>--printer: cannot list the system's printers: %1</source>
        <translation>--printer：无法列出系统的打印机：%1</translation>
    </message>
    <message>
        <source>none is set up</source>
        <translation>没有设置任何打印机</translation>
    </message>
    <message>
        <source>--printer: unknown printer "%1"; known printers: %2</source>
        <translation>--printer：未知的打印机“%1”；已有的打印机：%2</translation>
    </message>
    <message>
        <source>--pdf: cannot create the folder "%1"</source>
        <translation>--pdf：无法创建文件夹“%1”</translation>
    </message>
    <message>
        <source>landscape</source>
        <translation>横向</translation>
    </message>
    <message>
        <source>portrait</source>
        <translation>纵向</translation>
    </message>
    <message>
        <source>left</source>
        <translation>左</translation>
    </message>
    <message>
        <source>right</source>
        <translation>右</translation>
    </message>
    <message>
        <source>top</source>
        <translation>上</translation>
    </message>
    <message>
        <source>bottom</source>
        <translation>下</translation>
    </message>
    <message>
        <source>header</source>
        <translation>页眉</translation>
    </message>
    <message>
        <source>footer</source>
        <translation>页脚</translation>
    </message>
    <message>
        <source>%1 %2 -&gt; %3 cm</source>
        <translation>%1 %2 -&gt; %3 厘米</translation>
    </message>
    <message>
        <source>orientation %1 -&gt; %2</source>
        <translation>纸张方向 %1 -&gt; %2</translation>
    </message>
    <message>
        <source>nothing to change</source>
        <translation>无需修改</translation>
    </message>
    <message>
        <source>, </source>
        <translation>，</translation>
    </message>
    <message>
        <source>%1 pages</source>
        <translation>%1 页</translation>
    </message>
    <message>
        <source>%1 workbooks, %2 sheets, %3 pages</source>
        <translation>%1 个工作簿，%2 个表，%3 页</translation>
    </message>
    <message>
        <source>%1 workbooks, %2 sheets would change</source>
        <translation>将修改 %1 个工作簿的 %2 个表</translation>
    </message>
    <message>
        <source>--report: cannot write "%1": %2</source>
        <translation>--report：无法写入“%1”：%2</translation>
    </message>
    <message>
        <source>%1 could not be opened; listed in %2</source>
        <translation>%1无法打开；已列在 %2 中</translation>
    </message>
    <message>
        <source>interrupted again, ending the spreadsheet program at once</source>
        <translation>再次被中断，立即结束电子表格程序</translation>
    </message>
</context>
<context>
    <name>ooxml</name>
    <message>
        <source>Cannot read %1: %2</source>
        <translation>无法读取 %1：%2</translation>
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation>无法写入 %1：%2</translation>
    </message>
    <message>
        <source>Cannot read the permissions of %1.</source>
        <translation>无法读取 %1 的权限。</translation>
    </message>
    <message>
        <source>Cannot set the permissions of %1.</source>
        <translation>无法设置 %1 的权限。</translation>
    </message>
    <message>
        <source>Cannot write %1 to disk.</source>
        <translation>无法把 %1 写入磁盘。</translation>
    </message>
    <message>
        <source>Cannot replace %1.</source>
        <translation>无法替换 %1。</translation>
    </message>
    <message>
        <source>Sheet %1: %2</source>
        <translation>表 %1：%2</translation>
    </message>
    <message>
        <source>%1 does not exist.</source>
        <translation>%1 不存在。</translation>
    </message>
    <message>
        <source>%1 is not a file.</source>
        <translation>%1 不是文件。</translation>
    </message>
    <message>
        <source>%1 is read-only.</source>
        <translation>%1 是只读的。</translation>
    </message>
    <message>
        <source>%1 is not a readable workbook package: %2</source>
        <translation>%1 不是可读的工作簿包：%2</translation>
    </message>
    <message>
        <source>The workbook has no sheet named %1.</source>
        <translation>工作簿中没有名为 %1 的表。</translation>
    </message>
    <message>
        <source>The part of sheet %1 cannot be found.</source>
        <translation>找不到表 %1 的部件。</translation>
    </message>
    <message>
        <source>Cannot create a temporary file beside %1: %2</source>
        <translation>无法在 %1 旁边创建临时文件：%2</translation>
    </message>
    <message>
        <source>%1 changed while it was being updated.</source>
        <translation>%1 在更新过程中被改动。</translation>
    </message>
    <message>
        <source>Cannot update %1: %2</source>
        <translation>无法更新 %1：%2</translation>
    </message>
    <message>
        <source>The sheet part is not well-formed XML.</source>
        <translation>表部件不是格式正确的 XML。</translation>
    </message>
    <message>
        <source>The sheet part carries a document type declaration, which workbook parts may not have.</source>
        <translation>表部件带有文档类型声明，工作簿部件不允许有。</translation>
    </message>
    <message>
        <source>A page margin must be a number of zero or more.</source>
        <translation>页边距必须是零或更大的数。</translation>
    </message>
    <message>
        <source>The orientation must be portrait (1) or landscape (2).</source>
        <translation>纸张方向必须是纵向（1）或横向（2）。</translation>
    </message>
    <message>
        <source>The paper size code must be a positive number.</source>
        <translation>纸张大小代码必须是正数。</translation>
    </message>
    <message>
        <source>The sheet part is not UTF-8 encoded, which is not supported.</source>
        <translation>表部件不是 UTF-8 编码，不支持。</translation>
    </message>
    <message>
        <source>The part is not a worksheet, chart sheet, dialog sheet or macro sheet.</source>
        <translation>该部件不是工作表、图表工作表、对话框表或宏表。</translation>
    </message>
    <message>
        <source>The sheet part is empty.</source>
        <translation>表部件为空。</translation>
    </message>
    <message>
        <source>The sheet part holds more than one %1 element.</source>
        <translation>表部件中有不止一个 %1 元素。</translation>
    </message>
</context>
<context>
    <name>ooxml::detail</name>
    <message>
        <source>Cannot read %1 in the workbook: %2</source>
        <translation>无法读取工作簿中的 %1：%2</translation>
    </message>
    <message>
        <source>%1 in the workbook is too large.</source>
        <translation>工作簿中的 %1 太大。</translation>
    </message>
    <message>
        <source>The workbook has no part %1.</source>
        <translation>工作簿中没有部件 %1。</translation>
    </message>
    <message>
        <source>The workbook part %1 cannot be read.</source>
        <translation>无法读取工作簿部件 %1。</translation>
    </message>
    <message>
        <source>The relationships of %1 cannot be read.</source>
        <translation>无法读取 %1 的关系。</translation>
    </message>
</context>
<context>
    <name>runs</name>
    <message>
        <source>成功打印</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>成功修改</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>成功打印%1个工作簿的%2个sheet。耗时%3秒。</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>成功修改%1个工作簿的%2个sheet。耗时%3秒。</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>文件不存在</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>无法打开</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>文件受密码保护</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>文件已损坏或不是工作簿</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>不支持的文件格式</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>电子表格程序处理此文件时崩溃</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>电子表格程序处理此文件时停止响应</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>打印系统拒绝了打印任务</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>文件为只读</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>文件已在其他程序中打开</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>保存失败</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>无法修改页面设置</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>无法读取工作表</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>（%1）</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>excel OK!</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>WorkBooks OK!</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>本功能需要电脑中装有微软office或金山wps专业版(注意是专业版,不是个人版)!</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>工作簿文件延时:%1秒!</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Sheet表延时:%1秒!</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>此文件指定区域无效,请重新设置!%1</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>电子表格程序已停止响应,运行已结束。</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>已停止</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>%1：%2</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>电子表格程序无法启动</source>
        <translation type="unfinished" />
    </message>
</context>
</TS>