#version 330
// One quad corner per vertex, turned clockwise by fRotation (radians) in the view plane, scaled by
// fSize around the particle's view-space centre.
layout(std140) uniform Projection {
	mat4 mProjectionMatrix;
};
layout(std140) uniform Model {
	mat4 mModelViewMatrix;
	mat3 mNormalMatrix;
};
in vec4 vVertex;
in vec2 vTexCoord0;
in vec4 vColor;
in vec4 vPosition;
in float fSize;
in float fRotation;
out vec2 vTexCoord;
out vec4 vParticleColor;

void main() {
	vec4 vCentre = mModelViewMatrix * vPosition;
	float c = cos(fRotation);
	float s = sin(fRotation);
	vec2 vCorner = vec2(vVertex.x * c + vVertex.y * s, -vVertex.x * s + vVertex.y * c) * fSize;  // clockwise for positive angles
	vTexCoord = vTexCoord0;
	vParticleColor = vColor;
	gl_Position = mProjectionMatrix * (vCentre + vec4(vCorner, 0.0, 0.0));
}
