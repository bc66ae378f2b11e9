<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>Feedback</name>
    <message>
        <source> … (%1 bytes)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>graded</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>does not compile</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>several programs</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>nothing handed in</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a Windows program</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>could not start</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>refused</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>missing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not graded</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>correct</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>wrong</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>timeout</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>crash</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not run</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>stack</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>queue</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>stackqueue</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 of %2 points</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>, </source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>Of %n case(s): %1.</source>
        <translation>
            <numerusform>Of %n case: %1.</numerusform>
            <numerusform>Of %n cases: %1.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n correct</source>
        <translation>
            <numerusform>%n correct</numerusform>
            <numerusform>%n correct</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n wrong</source>
        <translation>
            <numerusform>%n wrong</numerusform>
            <numerusform>%n wrong</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n time-out(s)</source>
        <translation>
            <numerusform>%n time-out</numerusform>
            <numerusform>%n time-outs</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n crash(es)</source>
        <translation>
            <numerusform>%n crash</numerusform>
            <numerusform>%n crashes</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Compiler messages (%n warning(s))</source>
        <translation>
            <numerusform>Compiler messages (%n warning)</numerusform>
            <numerusform>Compiler messages (%n warnings)</numerusform>
        </translation>
    </message>
    <message>
        <source>Memory findings: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A short command that fails</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cases</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Options</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Verdict</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Program&apos;s answer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Expected answer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Feedback: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Feedback on your %1 program</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>participant %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>graded %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not graded yet: the grader could not judge this program; it will be graded again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 of %2 points. Status: %3. See the attached feedback page.</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>, %n time-out(s)</source>
        <translation>
            <numerusform>, %n time-out</numerusform>
            <numerusform>, %n time-outs</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>, %n crash(es)</source>
        <translation>
            <numerusform>, %n crash</numerusform>
            <numerusform>, %n crashes</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 of %n case(s) correct%2.</source>
        <translation>
            <numerusform>%1 of %n case correct%2.</numerusform>
            <numerusform>%1 of %n cases correct%2.</numerusform>
        </translation>
    </message>
    <message>
        <source> Memory findings: %1 (-%2 points).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> Memory findings: %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 of %2 points. %3 See the attached feedback page.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Class report: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Graded %1 · %2 students · cases: %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This grading did not finish: students may be missing.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Summary</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Status</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Students</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mean</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>median</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Histogram of points</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Id</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Status before</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Status now</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Points before</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Points now</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Points</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Correct</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Wrong</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Time-outs</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Crashes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Memory findings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exact copy of</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Details</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Changes since the grading of %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>points of %1, over %n student(s) with points.</source>
        <translation>
            <numerusform>points of %1, over %n student with points.</numerusform>
            <numerusform>points of %1, over %n students with points.</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 to under %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The sources are identical to those of %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ten</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>extended</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1, %2 per student</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CaseMatrix</name>
    <message numerus="yes">
        <source>Case %1: %n wrong</source>
        <translation>
            <numerusform>Case %1: %n wrong</numerusform>
            <numerusform>Case %1: %n wrong</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ClassModel</name>
    <message>
        <source>Participant %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Id</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Status</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Points</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Correct</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Wrong</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Time-outs</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Crashes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Memory findings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>graded</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>does not compile</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>nothing handed in</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a Windows program</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>could not start</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>refused</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>missing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not graded</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>correct</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>wrong</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>timeout</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>crash</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not run</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>several programs</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a student of an earlier class</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1, of an earlier class</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Similar to</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ClassWindow</name>
    <message>
        <source>Orvimet class</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Find a student</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Status:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Class</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Open results...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Grade submissions...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Cancel grading</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Compare with an &amp;earlier grading...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Export grades, worksheet, feedback and report</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Student</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Next student</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Previous student</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Next with a &amp;wrong case</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open &amp;details</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Regrade</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open in the &amp;manual test</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Anonymous</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Find a student</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No further student</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot open %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Orvimet class — %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n student(s), %1 cases</source>
        <translation>
            <numerusform>%n student, %1 cases</numerusform>
            <numerusform>%n students, %1 cases</numerusform>
        </translation>
    </message>
    <message>
        <source>all</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open a results folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open an earlier grading of the class</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Grade an archive of submissions</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Archives (*.zip *.tar *.tar.gz *.tgz *.7z);;All files (*)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The class file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Class files (*.toml)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The results folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Grading %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Regrading %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Grading cancelled; what was done is kept</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Grading ended with status %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Grading done</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Regraded %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot write the outputs: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Written beside results.json: grades.csv, report.html, feedback.zip and the worksheet</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This student&apos;s program is not at hand: regrade to build it</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot copy the program to %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>, about %1:%2 left</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Grading: %1 of %2 students%3; last: %4</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Writing grades.csv, the worksheet, feedback.zip and report.html</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cases</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Similarity</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Next &amp;flagged (similar, copy, memory finding)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>DetailPane</name>
    <message>
        <source>Copy counterexample</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open in the manual test</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Case %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Options: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Student&apos;s answer: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>(%1 bytes in all)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reference answer: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>First difference: word %1, &quot;%2&quot; where the reference has &quot;%3&quot;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Memory: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Counterexample (shrunk in %1 steps)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Memory findings: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Shrunk to: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>On the extended list, shrunk to: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Similar to</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>Build log (%n warning(s))</source>
        <translation>
            <numerusform>Build log (%n warning)</numerusform>
            <numerusform>Build log (%n warnings)</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>SimilarityModel</name>
    <message>
        <source>Group %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No flagged pair and no exact copy</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n pair(s) flagged</source>
        <translation>
            <numerusform>%n pair flagged</numerusform>
            <numerusform>%n pairs flagged</numerusform>
        </translation>
    </message>
    <message>
        <source>a student of an earlier class</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1, of an earlier class</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Student</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Similar to</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Similarity</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Coverage</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Longest shared run (tokens)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Group</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SimilarityPane</name>
    <message>
        <source>Open the pair&apos;s page</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Building</name>
    <message>
        <source>, </source>
        <translation>, </translation>
    </message>
    <message>
        <source>does not compile: %1</source>
        <translation>does not compile: %1</translation>
    </message>
    <message>
        <source>does not compile: no C++ source</source>
        <translation>does not compile: no C++ source</translation>
    </message>
    <message>
        <source>does not compile: the build took longer than %1 s</source>
        <translation>does not compile: the build took longer than %1 s</translation>
    </message>
    <message>
        <source>does not compile: the compiler used more than %1 s of CPU time</source>
        <translation>does not compile: the compiler used more than %1 s of CPU time</translation>
    </message>
    <message>
        <source>does not compile: the compiler needed more than %1 MiB of memory</source>
        <translation>does not compile: the compiler needed more than %1 MiB of memory</translation>
    </message>
    <message>
        <source>does not compile: the compiler wrote a file larger than %1 MiB</source>
        <translation>does not compile: the compiler wrote a file larger than %1 MiB</translation>
    </message>
    <message>
        <source>does not compile: the program is larger than %1 MiB</source>
        <translation>does not compile: the program is larger than %1 MiB</translation>
    </message>
    <message>
        <source>does not compile: the compiler was killed at a limit of CPU time or memory</source>
        <translation>does not compile: the compiler was killed at a limit of CPU time or memory</translation>
    </message>
    <message>
        <source>does not compile: the compiler ended by signal %1</source>
        <translation>does not compile: the compiler ended by signal %1</translation>
    </message>
    <message>
        <source>does not compile: the compiler failed without a message</source>
        <translation>does not compile: the compiler failed without a message</translation>
    </message>
    <message numerus="yes">
        <source>nothing handed in: %1 is empty</source>
        <translation>
            <numerusform>nothing handed in: %1 is empty</numerusform>
            <numerusform>nothing handed in: %1 are empty</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n files define main: %1</source>
        <translation>
            <numerusform>%n file defines main: %1</numerusform>
            <numerusform>%n files define main: %1</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>Similarity</name>
    <message>
        <source>%1 lines %2–%3</source>
        <translation>%1 lines %2–%3</translation>
    </message>
    <message>
        <source>, </source>
        <translation>, </translation>
    </message>
    <message>
        <source> (earlier class)</source>
        <translation> (earlier class)</translation>
    </message>
    <message>
        <source>Group %1: %2</source>
        <translation>Group %1: %2</translation>
    </message>
    <message>
        <source>Similar sources</source>
        <translation>Similar sources</translation>
    </message>
    <message>
        <source>%1 of %2 sharing anything%3.</source>
        <translation>%1 of %2 sharing anything%3.</translation>
    </message>
    <message>
        <source>The template handed out and code most of the class writes alike never count.</source>
        <translation>The template handed out and code most of the class writes alike never count.</translation>
    </message>
    <message>
        <source>Student</source>
        <translation>Student</translation>
    </message>
    <message>
        <source>Other student</source>
        <translation>Other student</translation>
    </message>
    <message>
        <source>Similarity</source>
        <translation>Similarity</translation>
    </message>
    <message>
        <source>Larger coverage</source>
        <translation>Larger coverage</translation>
    </message>
    <message>
        <source>Longest shared tokens</source>
        <translation>Longest shared tokens</translation>
    </message>
    <message>
        <source>Group</source>
        <translation>Group</translation>
    </message>
    <message>
        <source>Similar: %1 and %2</source>
        <translation>Similar: %1 and %2</translation>
    </message>
    <message>
        <source>Similarity &lt;b&gt;%1&lt;/b&gt; · the larger coverage %2 · %3 · longest shared fragment %4%5.</source>
        <translation>Similarity &lt;b&gt;%1&lt;/b&gt; · the larger coverage %2 · %3 · longest shared fragment %4%5.</translation>
    </message>
    <message>
        <source> · group %1</source>
        <translation> · group %1</translation>
    </message>
    <message>
        <source>Marked lines hold a shared fragment; the template handed out and code most of the class writes alike are never marked.</source>
        <translation>Marked lines hold a shared fragment; the template handed out and code most of the class writes alike are never marked.</translation>
    </message>
    <message>
        <source>Tokens</source>
        <translation>Tokens</translation>
    </message>
    <message numerus="yes">
        <source>… the rest, %n byte(s), not shown</source>
        <translation>
            <numerusform>… the rest, %n byte, not shown</numerusform>
            <numerusform>… the rest, %n bytes, not shown</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>, in %n group(s)</source>
        <translation>
            <numerusform>, in %n group</numerusform>
            <numerusform>, in %n groups</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n flagged pair(s)</source>
        <translation>
            <numerusform>%n flagged pair</numerusform>
            <numerusform>%n flagged pairs</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n pair(s)</source>
        <translation>
            <numerusform>%n pair</numerusform>
            <numerusform>%n pairs</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n shared fingerprint(s)</source>
        <translation>
            <numerusform>%n shared fingerprint</numerusform>
            <numerusform>%n shared fingerprints</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n token(s)</source>
        <translation>
            <numerusform>%n token</numerusform>
            <numerusform>%n tokens</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>Programs</name>
    <message>
        <source>The program, to try in the window or with explore: %1</source>
        <translation>The program, to try in the window or with explore: %1</translation>
    </message>
</context>
<context>
    <name>Taking</name>
    <message>
        <source>could not start: %1</source>
        <translation>could not start: %1</translation>
    </message>
    <message>
        <source>the grader could not build it: %1</source>
        <translation>the grader could not build it: %1</translation>
    </message>
    <message>
        <source>the grader could not take the built program: %1</source>
        <translation>the grader could not take the built program: %1</translation>
    </message>
    <message>
        <source>the grading was interrupted</source>
        <translation>the grading was interrupted</translation>
    </message>
    <message>
        <source>%1 names %2 to build, which is not one of the sources handed in</source>
        <translation>%1 names %2 to build, which is not one of the sources handed in</translation>
    </message>
    <message>
        <source>a Windows program: hand in the sources</source>
        <translation>a Windows program: hand in the sources</translation>
    </message>
    <message>
        <source>nothing handed in</source>
        <translation>nothing handed in</translation>
    </message>
    <message>
        <source>nothing handed in (an archive inside an archive is not unpacked)</source>
        <translation>nothing handed in (an archive inside an archive is not unpacked)</translation>
    </message>
    <message>
        <source>nothing handed in (only one archive of a folder without sources is unpacked)</source>
        <translation>nothing handed in (only one archive of a folder without sources is unpacked)</translation>
    </message>
    <message>
        <source>in the class&apos;s archive, this student&apos;s files unpack to more than %1 MiB</source>
        <translation>in the class&apos;s archive, this student&apos;s files unpack to more than %1 MiB</translation>
    </message>
    <message>
        <source>in the class&apos;s archive, this student&apos;s files unpack to more than %1 times their size (a zip bomb)</source>
        <translation>in the class&apos;s archive, this student&apos;s files unpack to more than %1 times their size (a zip bomb)</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>cannot be read: %1</source>
        <translation>cannot be read: %1</translation>
    </message>
    <message>
        <source>more than %1 entries</source>
        <translation>more than %1 entries</translation>
    </message>
    <message>
        <source>an entry whose name cannot be read</source>
        <translation>an entry whose name cannot be read</translation>
    </message>
    <message>
        <source>an absolute path: %1</source>
        <translation>an absolute path: %1</translation>
    </message>
    <message>
        <source>a path that leaves its folder: %1</source>
        <translation>a path that leaves its folder: %1</translation>
    </message>
    <message>
        <source>folders nested more than %1 deep: %2</source>
        <translation>folders nested more than %1 deep: %2</translation>
    </message>
    <message>
        <source>a link: %1</source>
        <translation>a link: %1</translation>
    </message>
    <message>
        <source>a device file or fifo: %1</source>
        <translation>a device file or fifo: %1</translation>
    </message>
    <message>
        <source>the same name twice: %1</source>
        <translation>the same name twice: %1</translation>
    </message>
    <message>
        <source>a name too long: %1</source>
        <translation>a name too long: %1</translation>
    </message>
    <message>
        <source>a file larger than %1: %2</source>
        <translation>a file larger than %1: %2</translation>
    </message>
    <message>
        <source>unpacks to more than %1</source>
        <translation>unpacks to more than %1</translation>
    </message>
    <message>
        <source>unpacks to more than %1 times its size (a zip bomb)</source>
        <translation>unpacks to more than %1 times its size (a zip bomb)</translation>
    </message>
    <message>
        <source>; </source>
        <translation>; </translation>
    </message>
    <message>
        <source>skipped: %1</source>
        <translation>skipped: %1</translation>
    </message>
    <message numerus="yes">
        <source>; and %n more</source>
        <translation>
            <numerusform>; and %n more</numerusform>
            <numerusform>; and %n more</numerusform>
        </translation>
    </message>
</context>
</TS>
