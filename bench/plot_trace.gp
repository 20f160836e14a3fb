# The viewer's --trace as a picture: copies a pass (left axis) and polygons
# drawn in the last second (right axis) against the run's seconds, the
# settled part shaded.
# gnuplot -e "trace='out/trace.csv'; picture='out/trace.png'" bench/plot_trace.gp
if (!exists("trace")) trace = 'out/trace.csv'
if (!exists("picture")) picture = 'out/trace.png'

set terminal pngcairo size 900,500 font ",10"
set output picture
set datafile separator ","
set key top left autotitle columnhead
set title "viewer benchmark: ".trace noenhanced
set xlabel "seconds"
set ylabel "copies a pass"
set y2label "polygons per second (last second)"
set ytics nomirror
set y2tics
set yrange [0:*]
set y2range [0:*]
set grid
set style fill transparent solid 0.12 noborder
# Columns: pass,seconds,tick,copies,polygons,pass_ms,fitted,settled,polygons_per_second
plot trace using 2:($8 > 0 ? $4 : 1/0) with boxes lc rgb "#60a060" title "settled", \
     trace using 2:4 with steps lw 1.5 lc rgb "#2060c0" title "copies", \
     trace using 2:9 axes x1y2 with lines lw 1.5 lc rgb "#c04020" title "polygons/s"
