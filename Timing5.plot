set output 'Timing5.svg
set terminal svg
set multiplot
set grid
set title "Clients duration"
set xlabel "audio cycles"
set ylabel "usec"
plot "/tmp/h23-pw/prof.log" using 10 title "pw-cat/36" with lines
unset multiplot
unset output
