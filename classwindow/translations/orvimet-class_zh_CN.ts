<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>CaseMatrix</name>
    <message numerus="yes">
        <source>Case %1: %n wrong</source>
        <translation>
            <numerusform>第 %1 组：%n 人错误</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ClassModel</name>
    <message>
        <source>Participant %1</source>
        <translation>参与人%1</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>姓名</translation>
    </message>
    <message>
        <source>Id</source>
        <translation>学号</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>状态</translation>
    </message>
    <message>
        <source>Points</source>
        <translation>得分</translation>
    </message>
    <message>
        <source>Correct</source>
        <translation>正确</translation>
    </message>
    <message>
        <source>Wrong</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>Time-outs</source>
        <translation>超时</translation>
    </message>
    <message>
        <source>Crashes</source>
        <translation>崩溃</translation>
    </message>
    <message>
        <source>Memory findings</source>
        <translation>内存问题</translation>
    </message>
    <message>
        <source>Exact copy of</source>
        <translation>完全相同于</translation>
    </message>
    <message>
        <source>graded</source>
        <translation>已评测</translation>
    </message>
    <message>
        <source>does not compile</source>
        <translation>编译失败</translation>
    </message>
    <message>
        <source>nothing handed in</source>
        <translation>未提交</translation>
    </message>
    <message>
        <source>a Windows program</source>
        <translation>Windows 程序</translation>
    </message>
    <message>
        <source>could not start</source>
        <translation>无法启动</translation>
    </message>
    <message>
        <source>refused</source>
        <translation>已拒绝</translation>
    </message>
    <message>
        <source>missing</source>
        <translation>缺失</translation>
    </message>
    <message>
        <source>not graded</source>
        <translation>未评测</translation>
    </message>
    <message>
        <source>correct</source>
        <translation>正确</translation>
    </message>
    <message>
        <source>wrong</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>timeout</source>
        <translation>超时</translation>
    </message>
    <message>
        <source>crash</source>
        <translation>崩溃</translation>
    </message>
    <message>
        <source>not run</source>
        <translation>未运行</translation>
    </message>
</context>
<context>
    <name>ClassWindow</name>
    <message>
        <source>Orvimet class</source>
        <translation>Orvimet 全班评测</translation>
    </message>
    <message>
        <source>Find a student</source>
        <translation>查找学生</translation>
    </message>
    <message>
        <source>Status:</source>
        <translation>状态：</translation>
    </message>
    <message>
        <source>&amp;Class</source>
        <translation>班级(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Open results...</source>
        <translation>打开评测结果(&amp;O)...</translation>
    </message>
    <message>
        <source>&amp;Grade submissions...</source>
        <translation>评测提交(&amp;G)...</translation>
    </message>
    <message>
        <source>&amp;Cancel grading</source>
        <translation>取消评测(&amp;C)</translation>
    </message>
    <message>
        <source>Compare with an &amp;earlier grading...</source>
        <translation>与早先的评测比较(&amp;E)...</translation>
    </message>
    <message>
        <source>&amp;Export grades, worksheet, feedback and report</source>
        <translation>导出成绩、评分表、反馈和报告(&amp;E)</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>退出(&amp;Q)</translation>
    </message>
    <message>
        <source>&amp;Student</source>
        <translation>学生(&amp;S)</translation>
    </message>
    <message>
        <source>&amp;Next student</source>
        <translation>下一个学生(&amp;N)</translation>
    </message>
    <message>
        <source>&amp;Previous student</source>
        <translation>上一个学生(&amp;P)</translation>
    </message>
    <message>
        <source>Next with a &amp;wrong case</source>
        <translation>下一个有错误的学生(&amp;W)</translation>
    </message>
    <message>
        <source>Next &amp;flagged (copy, memory finding)</source>
        <translation>下一个需注意的学生（抄袭、内存问题）(&amp;F)</translation>
    </message>
    <message>
        <source>Open &amp;details</source>
        <translation>打开详情(&amp;D)</translation>
    </message>
    <message>
        <source>&amp;Regrade</source>
        <translation>重新评测(&amp;R)</translation>
    </message>
    <message>
        <source>Open in the &amp;manual test</source>
        <translation>在手动测试中打开(&amp;M)</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>视图(&amp;V)</translation>
    </message>
    <message>
        <source>&amp;Anonymous</source>
        <translation>匿名(&amp;A)</translation>
    </message>
    <message>
        <source>&amp;Find a student</source>
        <translation>查找学生(&amp;F)</translation>
    </message>
    <message>
        <source>No further student</source>
        <translation>没有更多的学生</translation>
    </message>
    <message>
        <source>Cannot open %1: %2</source>
        <translation>无法打开 %1：%2</translation>
    </message>
    <message>
        <source>Orvimet class — %1</source>
        <translation>Orvimet 全班评测 — %1</translation>
    </message>
    <message numerus="yes">
        <source>%n student(s), %1 cases</source>
        <translation>
            <numerusform>%n 名学生，%1 组测试</numerusform>
        </translation>
    </message>
    <message>
        <source>all</source>
        <translation>全部</translation>
    </message>
    <message>
        <source>Open a results folder</source>
        <translation>打开评测结果文件夹</translation>
    </message>
    <message>
        <source>Open an earlier grading of the class</source>
        <translation>打开本班早先的评测</translation>
    </message>
    <message>
        <source>Grade an archive of submissions</source>
        <translation>评测提交的压缩包</translation>
    </message>
    <message>
        <source>Archives (*.zip *.tar *.tar.gz *.tgz *.7z);;All files (*)</source>
        <translation>压缩包 (*.zip *.tar *.tar.gz *.tgz *.7z);;所有文件 (*)</translation>
    </message>
    <message>
        <source>The class file</source>
        <translation>班级配置文件</translation>
    </message>
    <message>
        <source>Class files (*.toml)</source>
        <translation>班级配置文件 (*.toml)</translation>
    </message>
    <message>
        <source>The results folder</source>
        <translation>评测结果文件夹</translation>
    </message>
    <message>
        <source>Grading %1</source>
        <translation>正在评测 %1</translation>
    </message>
    <message>
        <source>Regrading %1</source>
        <translation>正在重新评测 %1</translation>
    </message>
    <message>
        <source>Grading cancelled; what was done is kept</source>
        <translation>评测已取消；已完成的部分已保留</translation>
    </message>
    <message>
        <source>Grading ended with status %1: %2</source>
        <translation>评测结束，状态 %1：%2</translation>
    </message>
    <message>
        <source>Grading done</source>
        <translation>评测完成</translation>
    </message>
    <message>
        <source>Regraded %1</source>
        <translation>已重新评测 %1</translation>
    </message>
    <message>
        <source>Cannot write the outputs: %1</source>
        <translation>无法写出结果：%1</translation>
    </message>
    <message>
        <source>Written beside results.json: grades.csv, report.html, feedback.zip and the worksheet</source>
        <translation>已写在 results.json 旁：grades.csv、report.html、feedback.zip 和评分表</translation>
    </message>
    <message>
        <source>This student&apos;s program is not at hand: regrade to build it</source>
        <translation>没有这名学生的程序：请重新评测以编译</translation>
    </message>
    <message>
        <source>Cannot copy the program to %1</source>
        <translation>无法把程序复制到 %1</translation>
    </message>
    <message>
        <source>, about %1:%2 left</source>
        <translation>，约剩 %1:%2</translation>
    </message>
    <message>
        <source>Grading: %1 of %2 students%3; last: %4</source>
        <translation>评测中：%1 / %2 名学生%3；最近：%4</translation>
    </message>
    <message>
        <source>Writing grades.csv, the worksheet, feedback.zip and report.html</source>
        <translation>正在写出 grades.csv、评分表、feedback.zip 和 report.html</translation>
    </message>
</context>
<context>
    <name>DetailPane</name>
    <message>
        <source>Copy counterexample</source>
        <translation>复制反例</translation>
    </message>
    <message>
        <source>Open in the manual test</source>
        <translation>在手动测试中打开</translation>
    </message>
    <message>
        <source>Case %1: %2</source>
        <translation>第 %1 组：%2</translation>
    </message>
    <message>
        <source>Options: %1</source>
        <translation>选项：%1</translation>
    </message>
    <message>
        <source>Student&apos;s answer: </source>
        <translation>学生答案：</translation>
    </message>
    <message>
        <source>(%1 bytes in all)</source>
        <translation>（共 %1 字节）</translation>
    </message>
    <message>
        <source>Reference answer: </source>
        <translation>标准答案：</translation>
    </message>
    <message>
        <source>First difference: word %1, &quot;%2&quot; where the reference has &quot;%3&quot;</source>
        <translation>第一处不同：第 %1 个词，“%2”，标准答案为“%3”</translation>
    </message>
    <message>
        <source>Memory: %1</source>
        <translation>内存：%1</translation>
    </message>
    <message>
        <source>Counterexample (shrunk in %1 steps)</source>
        <translation>反例（经 %1 步缩减）</translation>
    </message>
    <message>
        <source>Memory findings: %1</source>
        <translation>内存问题：%1</translation>
    </message>
    <message>
        <source>Same sources as</source>
        <translation>源代码完全相同于</translation>
    </message>
    <message numerus="yes">
        <source>Build log (%n warning(s))</source>
        <translation>
            <numerusform>编译日志（%n 个警告）</numerusform>
        </translation>
    </message>
</context>
</TS>
