set output 'Timing4.svg
set terminal svg
set multiplot
set grid
set title "Clients scheduling latency"
set xlabel "audio cycles"
set ylabel "usec"
plot "/tmp/h23-pw/prof.log" using 9 title "pw-cat/36" with lines
unset multiplot
unset output
