<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Feedback</name>
    <message>
        <source> … (%1 bytes)</source>
        <translation> …（共 %1 字节）</translation>
    </message>
    <message>
        <source>graded</source>
        <translation>已评分</translation>
    </message>
    <message>
        <source>does not compile</source>
        <translation>编译失败</translation>
    </message>
    <message>
        <source>several programs</source>
        <translation>多个程序</translation>
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
        <translation>无法运行</translation>
    </message>
    <message>
        <source>refused</source>
        <translation>已拒收</translation>
    </message>
    <message>
        <source>missing</source>
        <translation>缺失</translation>
    </message>
    <message>
        <source>not graded</source>
        <translation>未评分</translation>
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
    <message>
        <source>stack</source>
        <translation>栈</translation>
    </message>
    <message>
        <source>queue</source>
        <translation>队列</translation>
    </message>
    <message>
        <source>stackqueue</source>
        <translation>栈模拟队列</translation>
    </message>
    <message>
        <source>%1 of %2 points</source>
        <translation>%1 分（满分 %2）</translation>
    </message>
    <message>
        <source>, </source>
        <translation>，</translation>
    </message>
    <message numerus="yes">
        <source>Of %n case(s): %1.</source>
        <translation>
            <numerusform>共 %n 个用例：%1。</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n correct</source>
        <translation>
            <numerusform>正确 %n 个</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n wrong</source>
        <translation>
            <numerusform>错误 %n 个</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n time-out(s)</source>
        <translation>
            <numerusform>超时 %n 个</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n crash(es)</source>
        <translation>
            <numerusform>崩溃 %n 个</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Compiler messages (%n warning(s))</source>
        <translation>
            <numerusform>编译器信息（%n 个警告）</numerusform>
        </translation>
    </message>
    <message>
        <source>Memory findings: %1</source>
        <translation>内存问题：%1 处</translation>
    </message>
    <message>
        <source>A short command that fails</source>
        <translation>一条出错的简短命令</translation>
    </message>
    <message>
        <source>Cases</source>
        <translation>用例</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>选项</translation>
    </message>
    <message>
        <source>Verdict</source>
        <translation>结果</translation>
    </message>
    <message>
        <source>Program&apos;s answer</source>
        <translation>程序的答案</translation>
    </message>
    <message>
        <source>Expected answer</source>
        <translation>标准答案</translation>
    </message>
    <message>
        <source>Feedback: %1</source>
        <translation>反馈：%1</translation>
    </message>
    <message>
        <source>Feedback on your %1 program</source>
        <translation>你的%1程序的反馈</translation>
    </message>
    <message>
        <source>participant %1</source>
        <translation>参与人 %1</translation>
    </message>
    <message>
        <source>graded %1</source>
        <translation>评分时间 %1</translation>
    </message>
    <message>
        <source>Not graded yet: the grader could not judge this program; it will be graded again.</source>
        <translation>尚未评分：评分程序未能判定这个程序，稍后将重新评分。</translation>
    </message>
    <message>
        <source>%1 of %2 points. Status: %3. See the attached feedback page.</source>
        <translation>%1 分（满分 %2）。状态：%3。详见附件中的反馈页面。</translation>
    </message>
    <message numerus="yes">
        <source>, %n time-out(s)</source>
        <translation>
            <numerusform>，超时 %n 个</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>, %n crash(es)</source>
        <translation>
            <numerusform>，崩溃 %n 个</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 of %n case(s) correct%2.</source>
        <translation>
            <numerusform>%n 个用例中正确 %1 个%2。</numerusform>
        </translation>
    </message>
    <message>
        <source> Memory findings: %1 (-%2 points).</source>
        <translation>内存问题 %1 处（扣 %2 分）。</translation>
    </message>
    <message>
        <source> Memory findings: %1.</source>
        <translation>内存问题 %1 处。</translation>
    </message>
    <message>
        <source>%1 of %2 points. %3 See the attached feedback page.</source>
        <translation>%1 分（满分 %2）。%3详见附件中的反馈页面。</translation>
    </message>
    <message>
        <source>Class report: %1</source>
        <translation>班级报告：%1</translation>
    </message>
    <message>
        <source>Graded %1 · %2 students · cases: %3</source>
        <translation>评分时间 %1 · 学生 %2 人 · 用例：%3</translation>
    </message>
    <message>
        <source>This grading did not finish: students may be missing.</source>
        <translation>这次评分没有完成：可能缺少学生。</translation>
    </message>
    <message>
        <source>Summary</source>
        <translation>概况</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>状态</translation>
    </message>
    <message>
        <source>Students</source>
        <translation>学生</translation>
    </message>
    <message>
        <source>Mean</source>
        <translation>平均分</translation>
    </message>
    <message>
        <source>median</source>
        <translation>中位数</translation>
    </message>
    <message>
        <source>Histogram of points</source>
        <translation>分数分布</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>姓名</translation>
    </message>
    <message>
        <source>Id</source>
        <translation>编号</translation>
    </message>
    <message>
        <source>Status before</source>
        <translation>之前的状态</translation>
    </message>
    <message>
        <source>Status now</source>
        <translation>现在的状态</translation>
    </message>
    <message>
        <source>Points before</source>
        <translation>之前的分数</translation>
    </message>
    <message>
        <source>Points now</source>
        <translation>现在的分数</translation>
    </message>
    <message>
        <source>Points</source>
        <translation>分数</translation>
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
        <source>Details</source>
        <translation>详情</translation>
    </message>
    <message>
        <source>Changes since the grading of %1</source>
        <translation>自 %1 的评分以来的变化</translation>
    </message>
    <message numerus="yes">
        <source>points of %1, over %n student(s) with points.</source>
        <translation>
            <numerusform>满分 %1，共 %n 名学生有分数。</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 to under %2</source>
        <translation>%1 至 %2 以下</translation>
    </message>
    <message>
        <source>The sources are identical to those of %1.</source>
        <translation>源代码与 %1 的完全相同。</translation>
    </message>
    <message>
        <source>ten</source>
        <translation>十条固定用例</translation>
    </message>
    <message>
        <source>extended</source>
        <translation>扩展用例</translation>
    </message>
    <message>
        <source>%1, %2 per student</source>
        <translation>%1，每人 %2 个</translation>
    </message>
</context>
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
    <message>
        <source>several programs</source>
        <translation>多个程序</translation>
    </message>
    <message>
        <source>a student of an earlier class</source>
        <translation>往届的一名学生</translation>
    </message>
    <message>
        <source>%1, of an earlier class</source>
        <translation>%1（往届）</translation>
    </message>
    <message>
        <source>Similar to</source>
        <translation>相似于</translation>
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
    <message>
        <source>Cases</source>
        <translation>用例</translation>
    </message>
    <message>
        <source>Similarity</source>
        <translation>相似度</translation>
    </message>
    <message>
        <source>Next &amp;flagged (similar, copy, memory finding)</source>
        <translation>下一个需注意的学生（相似、抄袭、内存问题）(&amp;F)</translation>
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
        <source>Shrunk to: %1</source>
        <translation>缩减为：%1</translation>
    </message>
    <message>
        <source>On the extended list, shrunk to: %1</source>
        <translation>在扩展列表上，缩减为：%1</translation>
    </message>
    <message>
        <source>Similar to</source>
        <translation>相似于</translation>
    </message>
    <message numerus="yes">
        <source>Build log (%n warning(s))</source>
        <translation>
            <numerusform>编译日志（%n 个警告）</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>SimilarityModel</name>
    <message>
        <source>Group %1: %2</source>
        <translation>相似组 %1：%2</translation>
    </message>
    <message>
        <source>No flagged pair and no exact copy</source>
        <translation>没有标记的相似对，也没有完全相同的提交</translation>
    </message>
    <message numerus="yes">
        <source>%n pair(s) flagged</source>
        <translation>
            <numerusform>标记了 %n 对</numerusform>
        </translation>
    </message>
    <message>
        <source>a student of an earlier class</source>
        <translation>往届的一名学生</translation>
    </message>
    <message>
        <source>%1, of an earlier class</source>
        <translation>%1（往届）</translation>
    </message>
    <message>
        <source>Student</source>
        <translation>学生</translation>
    </message>
    <message>
        <source>Similar to</source>
        <translation>相似于</translation>
    </message>
    <message>
        <source>Similarity</source>
        <translation>相似度</translation>
    </message>
    <message>
        <source>Coverage</source>
        <translation>覆盖率</translation>
    </message>
    <message>
        <source>Longest shared run (tokens)</source>
        <translation>最长相同片段（词法单元）</translation>
    </message>
    <message>
        <source>Group</source>
        <translation>相似组</translation>
    </message>
</context>
<context>
    <name>SimilarityPane</name>
    <message>
        <source>Open the pair&apos;s page</source>
        <translation>打开这一对的页面</translation>
    </message>
</context>
<context>
    <name>Building</name>
    <message>
        <source>, </source>
        <translation>、</translation>
    </message>
    <message>
        <source>does not compile: %1</source>
        <translation>编译失败：%1</translation>
    </message>
    <message>
        <source>does not compile: no C++ source</source>
        <translation>编译失败：没有 C++ 源文件</translation>
    </message>
    <message>
        <source>does not compile: the build took longer than %1 s</source>
        <translation>编译失败：编译用时超过 %1 秒</translation>
    </message>
    <message>
        <source>does not compile: the compiler used more than %1 s of CPU time</source>
        <translation>编译失败：编译器用掉的 CPU 时间超过 %1 秒</translation>
    </message>
    <message>
        <source>does not compile: the compiler needed more than %1 MiB of memory</source>
        <translation>编译失败：编译器需要超过 %1 MiB 的内存</translation>
    </message>
    <message>
        <source>does not compile: the compiler wrote a file larger than %1 MiB</source>
        <translation>编译失败：编译器写出的文件大于 %1 MiB</translation>
    </message>
    <message>
        <source>does not compile: the program is larger than %1 MiB</source>
        <translation>编译失败：程序大于 %1 MiB</translation>
    </message>
    <message>
        <source>does not compile: the compiler was killed at a limit of CPU time or memory</source>
        <translation>编译失败：编译器到达 CPU 时间或内存的上限，被终止</translation>
    </message>
    <message>
        <source>does not compile: the compiler ended by signal %1</source>
        <translation>编译失败：编译器因信号 %1 而终止</translation>
    </message>
    <message>
        <source>does not compile: the compiler failed without a message</source>
        <translation>编译失败：编译器失败，没有给出任何信息</translation>
    </message>
    <message numerus="yes">
        <source>nothing handed in: %1 is empty</source>
        <translation>
            <numerusform>未提交：%1 是空的</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n files define main: %1</source>
        <translation>
            <numerusform>%n 个文件都定义了 main：%1</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>Similarity</name>
    <message>
        <source>%1 lines %2–%3</source>
        <translation>%1 第 %2–%3 行</translation>
    </message>
    <message>
        <source>, </source>
        <translation>、</translation>
    </message>
    <message>
        <source> (earlier class)</source>
        <translation>（往届）</translation>
    </message>
    <message>
        <source>Group %1: %2</source>
        <translation>第 %1 组：%2</translation>
    </message>
    <message>
        <source>Similar sources</source>
        <translation>相似的源代码</translation>
    </message>
    <message>
        <source>%1 of %2 sharing anything%3.</source>
        <translation>在有共同之处的 %2中，%1%3。</translation>
    </message>
    <message>
        <source>The template handed out and code most of the class writes alike never count.</source>
        <translation>发下的模板和全班大多数人写法相同的代码从不计入。</translation>
    </message>
    <message>
        <source>Student</source>
        <translation>学生</translation>
    </message>
    <message>
        <source>Other student</source>
        <translation>另一名学生</translation>
    </message>
    <message>
        <source>Similarity</source>
        <translation>相似度</translation>
    </message>
    <message>
        <source>Larger coverage</source>
        <translation>较大的覆盖率</translation>
    </message>
    <message>
        <source>Longest shared tokens</source>
        <translation>最长共同片段的词法单元数</translation>
    </message>
    <message>
        <source>Group</source>
        <translation>组</translation>
    </message>
    <message>
        <source>Similar: %1 and %2</source>
        <translation>相似：%1 与 %2</translation>
    </message>
    <message>
        <source>Similarity &lt;b&gt;%1&lt;/b&gt; · the larger coverage %2 · %3 · longest shared fragment %4%5.</source>
        <translation>相似度 &lt;b&gt;%1&lt;/b&gt; · 较大的覆盖率 %2 · %3 · 最长的共同片段 %4%5。</translation>
    </message>
    <message>
        <source> · group %1</source>
        <translation> · 第 %1 组</translation>
    </message>
    <message>
        <source>Marked lines hold a shared fragment; the template handed out and code most of the class writes alike are never marked.</source>
        <translation>标出的行含有共同片段；发下的模板和全班大多数人写法相同的代码从不标出。</translation>
    </message>
    <message>
        <source>Tokens</source>
        <translation>词法单元</translation>
    </message>
    <message numerus="yes">
        <source>… the rest, %n byte(s), not shown</source>
        <translation>
            <numerusform>……其余 %n 字节未显示</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>, in %n group(s)</source>
        <translation>
            <numerusform>，分为 %n 组</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n flagged pair(s)</source>
        <translation>
            <numerusform>%n 对被标记</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n pair(s)</source>
        <translation>
            <numerusform>%n 对</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n shared fingerprint(s)</source>
        <translation>
            <numerusform>%n 个共同指纹</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n token(s)</source>
        <translation>
            <numerusform>%n 个词法单元</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>Programs</name>
    <message>
        <source>The program, to try in the window or with explore: %1</source>
        <translation>程序（可在窗口中或用 explore 试用）：%1</translation>
    </message>
</context>
<context>
    <name>Taking</name>
    <message>
        <source>could not start: %1</source>
        <translation>无法运行：%1</translation>
    </message>
    <message>
        <source>the grader could not build it: %1</source>
        <translation>评分程序未能编译它：%1</translation>
    </message>
    <message>
        <source>the grader could not take the built program: %1</source>
        <translation>评分程序未能取用编译好的程序：%1</translation>
    </message>
    <message>
        <source>the grading was interrupted</source>
        <translation>评分被中断</translation>
    </message>
    <message>
        <source>%1 names %2 to build, which is not one of the sources handed in</source>
        <translation>%1 指定编译 %2，但它不在提交的源文件中</translation>
    </message>
    <message>
        <source>a Windows program: hand in the sources</source>
        <translation>Windows 程序：请提交源代码</translation>
    </message>
    <message>
        <source>nothing handed in</source>
        <translation>未提交</translation>
    </message>
    <message>
        <source>nothing handed in (an archive inside an archive is not unpacked)</source>
        <translation>未提交（压缩包里的压缩包不会被解压）</translation>
    </message>
    <message>
        <source>nothing handed in (only one archive of a folder without sources is unpacked)</source>
        <translation>未提交（文件夹中没有源文件时，只解压其中唯一的一个压缩包）</translation>
    </message>
    <message>
        <source>in the class&apos;s archive, this student&apos;s files unpack to more than %1 MiB</source>
        <translation>在全班的压缩包中，该学生的文件解压后超过 %1 MiB</translation>
    </message>
    <message>
        <source>in the class&apos;s archive, this student&apos;s files unpack to more than %1 times their size (a zip bomb)</source>
        <translation>在全班的压缩包中，该学生的文件解压后超过原大小的 %1 倍（压缩炸弹）</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1：%2</translation>
    </message>
    <message>
        <source>cannot be read: %1</source>
        <translation>无法读取：%1</translation>
    </message>
    <message>
        <source>more than %1 entries</source>
        <translation>超过 %1 个条目</translation>
    </message>
    <message>
        <source>an entry whose name cannot be read</source>
        <translation>有条目的名字无法读取</translation>
    </message>
    <message>
        <source>an absolute path: %1</source>
        <translation>绝对路径：%1</translation>
    </message>
    <message>
        <source>a path that leaves its folder: %1</source>
        <translation>路径跑出了所在的文件夹：%1</translation>
    </message>
    <message>
        <source>folders nested more than %1 deep: %2</source>
        <translation>文件夹嵌套超过 %1 层：%2</translation>
    </message>
    <message>
        <source>a link: %1</source>
        <translation>链接：%1</translation>
    </message>
    <message>
        <source>a device file or fifo: %1</source>
        <translation>设备文件或管道：%1</translation>
    </message>
    <message>
        <source>the same name twice: %1</source>
        <translation>同一个名字出现了两次：%1</translation>
    </message>
    <message>
        <source>a name too long: %1</source>
        <translation>名字太长：%1</translation>
    </message>
    <message>
        <source>a file larger than %1: %2</source>
        <translation>文件大于 %1：%2</translation>
    </message>
    <message>
        <source>unpacks to more than %1</source>
        <translation>解压后超过 %1</translation>
    </message>
    <message>
        <source>unpacks to more than %1 times its size (a zip bomb)</source>
        <translation>解压后超过原大小的 %1 倍（压缩炸弹）</translation>
    </message>
    <message>
        <source>; </source>
        <translation>；</translation>
    </message>
    <message>
        <source>skipped: %1</source>
        <translation>已跳过：%1</translation>
    </message>
    <message numerus="yes">
        <source>; and %n more</source>
        <translation>
            <numerusform>；另有 %n 个</numerusform>
        </translation>
    </message>
</context>
</TS>
